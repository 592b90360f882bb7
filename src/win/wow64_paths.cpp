#include "win/wow64_paths.h"

#include <windows.h>

#include <array>

#include "common/text.h"
#include "win/paths.h"

namespace tidewell {

namespace {

bool sameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

// True when `path` is `folder` or lies below it; `rest` is then what follows, with its
// leading backslash.
bool below(std::wstring_view path, std::wstring_view folder, std::wstring_view& rest) {
    if (path.size() < folder.size() || !sameText(path.substr(0, folder.size()), folder)) return false;
    rest = path.substr(folder.size());
    return rest.empty() || rest.front() == L'\\';
}

// Subfolders of System32 that WOW64 does not redirect (Windows 7 and later).
constexpr std::array<std::wstring_view, 6> kShared = {L"\\catroot",  L"\\catroot2", L"\\driverstore",
                                                      L"\\drivers\\etc", L"\\logfiles", L"\\spool"};

bool isShared(std::wstring_view rest) {
    for (const auto shared : kShared) {
        std::wstring_view inner;
        if (below(rest, shared, inner)) return true;
    }
    return false;
}

}  // namespace

std::wstring wow64RedirectedPath(const std::wstring& path, const std::wstring& windowsFolder) {
    std::wstring_view prefix;
    std::wstring_view text = path;
    if (text.rfind(L"\\\\?\\", 0) == 0) prefix = text.substr(0, 4), text.remove_prefix(4);
    std::wstring_view windows = windowsFolder;
    while (!windows.empty() && windows.back() == L'\\') windows.remove_suffix(1);
    std::wstring_view inWindows;
    if (windows.empty() || !below(text, windows, inWindows) || inWindows.empty()) return path;

    const std::wstring_view head = text.substr(0, windows.size());
    const auto joined = [&](std::wstring_view folder, std::wstring_view rest) {
        return concat({prefix, head, folder, rest});
    };
    std::wstring_view rest;
    if (below(inWindows, L"\\System32", rest)) return isShared(rest) ? path : joined(L"\\SysWOW64", rest);
    if (below(inWindows, L"\\Sysnative", rest)) return joined(L"\\System32", rest);
    if (below(inWindows, L"\\lastgood\\system32", rest)) return joined(L"\\lastgood\\SysWOW64", rest);
    if (sameText(inWindows, L"\\regedit.exe")) return joined(L"\\SysWOW64\\regedit.exe", L"");
    return path;
}

std::wstring libraryFileSystemPath(const std::wstring& path) {
#if defined(_WIN64)
    const std::wstring windows = windowsFolder();
    return windows.empty() ? path : wow64RedirectedPath(path, windows);
#else
    return path;
#endif
}

}  // namespace tidewell
