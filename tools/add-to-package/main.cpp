// tidewell-add: adds the library to an existing installation package, with the rows
// and tables of the authoring kit, or refuses and leaves the package as it was: Tidewell.dll
// to an Intel package, Tidewell64.dll to an x64 package, after the platform of the
// package's Template summary property. After adding, it runs the package checks of
// tidewell-check and prints their findings.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "common/text.h"
#include "common/unique_any.h"
#include "kit.h"
#include "library_addition.h"
#include "library_version.h"
#include "msi_database.h"
#include "package_checks.h"
#include "pe_image.h"

using namespace tidewell;
using namespace tidewell::add;
using namespace tidewell::tools;

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;
constexpr wchar_t kLibraryBinary[] = L"Tidewell";

void print(FILE* stream, const std::wstring& text) {
    const std::string bytes = toUtf8(text + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void refuse(const std::wstring& reason) { throw Refusal(toUtf8(reason)); }

std::wstring besideThisProgram(const wchar_t* name) {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

std::string firstBytes(const std::wstring& path, DWORD count) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes(count, '\0');
    DWORD read = 0;
    if (!file || !::ReadFile(file.get(), bytes.data(), count, &read, nullptr)) return {};
    bytes.resize(read);
    return bytes;
}

// The checks that need no database: the package must be a file the tool may write.
void checkPackageFile(const std::wstring& package) {
    const DWORD attributes = ::GetFileAttributesW(package.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) refuse(package + L" cannot be found");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) refuse(package + L" is a folder, not an installation package");
    if (attributes & FILE_ATTRIBUTE_READONLY) refuse(package + L" is read-only");
    {
        unique_hfile probe(::CreateFileW(package.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
        if (!probe) refuse(package + L" cannot be opened for writing (error " + toDecimal(::GetLastError()) + L")");
    }
}

// The library for a platform: the DLL of that name beside this program.
std::wstring libraryFor(const std::wstring& platform, const std::wstring& package, bool chosen) {
    if (platform == L"Intel") return besideThisProgram(L"Tidewell.dll");
    if (platform == L"x64") return besideThisProgram(L"Tidewell64.dll");
    refuse((chosen ? L"--platform " + platform + L" is neither Intel nor x64"
                   : package + L" is for platform '" + platform + L"' (its Template summary property)") +
           L": Tidewell.dll serves Intel packages and Tidewell64.dll x64 packages; --platform Intel or --platform "
           L"x64 chooses one");
}

// The same checks as tidewell-check, on the package as written. They do not change the
// exit code: the library was added as asked, and the findings are the author's to act on.
void reportChecks(const std::wstring& package) {
    try {
        const MsiDatabase written(package, OpenMode::ReadOnly);
        const CheckReport report = checkPackage(written);
        for (const auto& finding : report.findings) print(stdout, L"tidewell-add: check: " + formatFinding(finding));
        print(stdout, L"tidewell-add: checks: " + toDecimal(static_cast<long long>(report.findings.size())) +
                          L" finding(s); tidewell-check --help explains each code");
    } catch (const std::exception& e) {
        print(stdout, L"tidewell-add: checks could not run: " + fromUtf8(e.what()));
    }
}

struct Request {
    std::wstring package;
    std::wstring dll;       // empty: the one for the platform, from beside this program
    std::wstring platform;  // empty: the package's own
};

int addLibrary(const Request& request) {
    const std::wstring& package = request.package;
    checkPackageFile(package);
    std::unique_ptr<MsiDatabase> database;
    try {
        database = std::make_unique<MsiDatabase>(package, OpenMode::Transacted);
    } catch (const std::runtime_error&) {
        refuse(package + L" is not a Windows Installer package");
    }
    if (!database->hasTable(L"InstallExecuteSequence"))
        refuse(package + L" has no InstallExecuteSequence table: it is not an installation package");
    const std::wstring dll = !request.dll.empty() ? request.dll
                             : request.platform.empty() ? libraryFor(database->templatePlatform(), package, false)
                                                        : libraryFor(request.platform, package, true);
    const std::optional<PeImage> image = readPeImage(fileBytes(dll));
    if (firstBytes(dll, 2) != "MZ" || !image) refuse(dll + L" cannot be read as a DLL");
    const std::wstring fileName = libraryFileName(image->machine);

    const AdditionPlan plan = planAddition(*database, tools::loadKit(), dll);
    if (!plan.conflicts.empty()) {
        std::wstring reason = package + L" already carries rows or tables that differ from the library's:";
        for (const auto& conflict : plan.conflicts) reason += L"\n  " + conflict;
        refuse(reason);
    }
    const std::wstring replaced = versionText(binaryVersion(*database, kLibraryBinary));
    const bool hadLibrary = database->hasTable(L"Binary") &&
                            !database->select(L"SELECT `Name` FROM `Binary` WHERE `Name`=" + literal(kLibraryBinary)).empty();
    std::wstring replacedName = L"Tidewell.dll";
    if (hadLibrary) {
        const auto old = readPeImage(
            database->stream(L"SELECT `Data` FROM `Binary` WHERE `Name`=" + literal(kLibraryBinary), 1));
        if (old) replacedName = libraryFileName(old->machine);
    }
    for (const auto& change : plan.changes)
        if (change.make) change.make(*database);
    database->commit();
    database.reset();
    print(stdout, L"tidewell-add: added " + fileName + L" " + versionText(fileVersion(dll)) + L" to " + package);
    print(stdout, hadLibrary ? L"  it replaces " + replacedName + L" " + replaced
                             : L"  the package had no Tidewell.dll or Tidewell64.dll before");
    for (const auto& change : plan.changes)
        if (!change.description.empty()) print(stdout, L"  " + change.description);
    reportChecks(package);
    return kDone;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Request request;
    bool usage = argc < 2;
    for (int i = 1; i < argc && !usage; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"/?" || argument == L"--help") usage = true;
        else if (argument == L"--platform" && i + 1 < argc && request.platform.empty()) request.platform = argv[++i];
        else if (argument.rfind(L"--", 0) == 0) usage = true;
        else if (request.package.empty()) request.package = argument;
        else if (request.dll.empty()) request.dll = argument;
        else usage = true;
    }
    if (usage || request.package.empty() || (!request.dll.empty() && !request.platform.empty())) {
        print(stderr,
              L"usage: tidewell-add <package.msi> [--platform Intel|x64 | <library DLL>]\n"
              L"Adds the library to an installation package: the Binary row, the CustomAction rows, the tables\n"
              L"VU_RemoveFile, VU_RemoveRegistry, VU_MoveFile and VU_PersistentData with their _Validation rows,\n"
              L"the Error row 4152, the ActionText rows and the library's actions in InstallExecuteSequence.\n"
              L"The DLL matches the platform of the package's Template summary property: Tidewell.dll for Intel,\n"
              L"Tidewell64.dll for x64, taken from beside this program; a package for any other platform is\n"
              L"refused. --platform chooses the DLL of the platform given instead (Tidewell.dll also runs in x64\n"
              L"packages); a DLL path adds that file. The package is changed only when every check passes.\n"
              L"Then the checks of tidewell-check run on the package and their findings are printed; they do\n"
              L"not change the exit code.");
        return kUsage;
    }
    try {
        return addLibrary(request);
    } catch (const Refusal& e) {
        print(stderr, L"tidewell-add: refused: " + fromUtf8(e.what()) + L"\ntidewell-add: nothing was changed");
    } catch (const std::exception& e) {
        print(stderr, L"tidewell-add: failed: " + fromUtf8(e.what()) + L"\ntidewell-add: nothing was changed");
    }
    return kRefused;
}
