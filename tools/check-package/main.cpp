// tidewell-check: finds the mistakes in a package's library tables, rows, actions and
// sequence before an installation does. It opens the package read-only and changes nothing.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "check_codes.h"
#include "common/text.h"
#include "library_version.h"
#include "msi_database.h"
#include "package_checks.h"

using namespace tidewell;
using namespace tidewell::tools;

namespace {

constexpr int kClean = 0;
constexpr int kErrorFound = 1;
constexpr int kUsage = 2;

void print(FILE* stream, const std::wstring& text) {
    const std::string bytes = toUtf8(text + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

void help() {
    std::wstring text =
        L"usage: tidewell-check <package.msi> [<Tidewell.dll>]\n"
        L"Checks the Tidewell tables, rows, custom actions and sequence of an installation package, and\n"
        L"prints one line per finding: severity, code, [table row], what is wrong and what to do.\n"
        L"The package is opened read-only and never changed. The library's exports are read from the\n"
        L"package's Binary row, or from the DLL given. Exit code: 1 when there is an error, else 0\n"
        L"(2: wrong arguments).\n\nCodes:\n";
    for (const auto& code : checkCodes())
        text += std::wstring(L"  ") + code.code + L" (" + (code.severity == Severity::Error ? L"error" : L"warning") +
                L"): " + code.meaning + L".\n      " + code.remedy + L".\n";
    print(stdout, text);
}

int check(const std::wstring& package, const std::optional<std::wstring>& dll) {
    const DWORD attributes = ::GetFileAttributesW(package.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        print(stderr, L"tidewell-check: " + package + L" cannot be found");
        return kErrorFound;
    }
    if (dll && ::GetFileAttributesW(dll->c_str()) == INVALID_FILE_ATTRIBUTES) {
        print(stderr, L"tidewell-check: " + *dll + L" cannot be found");
        return kErrorFound;
    }
    std::unique_ptr<MsiDatabase> database;
    try {
        database = std::make_unique<MsiDatabase>(package, OpenMode::ReadOnly);
    } catch (const std::runtime_error&) {
        print(stderr, L"tidewell-check: " + package + L" is not a Windows Installer package");
        return kErrorFound;
    }
    const CheckReport report = checkPackage(*database, dll);
    for (const auto& library : report.libraries)
        print(stdout, L"tidewell-check: Binary row " + library.name + L" holds " + library.fileName + L" " +
                          versionText(library.version));
    if (report.libraries.empty()) print(stdout, L"tidewell-check: the package carries no Tidewell.dll");
    size_t errors = 0;
    for (const auto& finding : report.findings) {
        print(stdout, formatFinding(finding));
        if (finding.severity == Severity::Error) ++errors;
    }
    print(stdout, L"tidewell-check: " + toDecimal(static_cast<long long>(errors)) + L" error(s), " +
                      toDecimal(static_cast<long long>(report.findings.size() - errors)) + L" warning(s) in " + package);
    return report.hasError() ? kErrorFound : kClean;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && (std::wstring(argv[1]) == L"--help" || std::wstring(argv[1]) == L"/?")) {
        help();
        return kClean;
    }
    if (argc < 2 || argc > 3) {
        print(stderr, L"usage: tidewell-check <package.msi> [<Tidewell.dll>] (tidewell-check --help explains the codes)");
        return kUsage;
    }
    try {
        return check(argv[1], argc == 3 ? std::optional<std::wstring>(argv[2]) : std::nullopt);
    } catch (const std::exception& e) {
        print(stderr, L"tidewell-check: failed: " + fromUtf8(e.what()));
        return kErrorFound;
    }
}
