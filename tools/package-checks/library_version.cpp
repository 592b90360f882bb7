#include "library_version.h"

#include <windows.h>

#include "common/unique_any.h"
#include "pe_image.h"

namespace tidewell::tools {

std::string fileBytes(const std::wstring& path) {
    const unique_hfile file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

std::optional<std::wstring> fileVersion(const std::wstring& path) {
    const auto image = readPeImage(fileBytes(path));
    return image ? image->version : std::nullopt;
}

std::optional<std::wstring> binaryVersion(const MsiDatabase& package, const std::wstring& binaryName) {
    if (!package.hasTable(L"Binary")) return std::nullopt;
    const auto image = readPeImage(package.stream(L"SELECT `Data` FROM `Binary` WHERE `Name`=" + literal(binaryName), 1));
    return image ? image->version : std::nullopt;
}

std::wstring versionText(const std::optional<std::wstring>& version) {
    return version ? L"version " + *version : L"no version";
}

}  // namespace tidewell::tools
