#pragma once
// The Windows folder as a 32-bit process sees it on 64-bit Windows. WOW64 sends that
// process's System32 to SysWOW64 (except for a few subfolders that every process shares),
// lastgood\system32 to lastgood\SysWOW64 and regedit.exe to SysWOW64's copy, and gives it
// Sysnative as the way to the real System32. The 64-bit library maps its paths the same
// way, so that one package row reaches the same file with either build.
#include <string>

namespace tidewell {

// The path as WOW64 redirects it for a 32-bit process, given the Windows folder
// ("C:\Windows"); any other path comes back unchanged. Text only; a "\\?\" prefix is kept.
std::wstring wow64RedirectedPath(const std::wstring& path, const std::wstring& windowsFolder);

// The path that the library's own file-system calls use: unchanged in the 32-bit build
// (WOW64 itself redirects it there), wow64RedirectedPath in the 64-bit build.
std::wstring libraryFileSystemPath(const std::wstring& path);

}  // namespace tidewell
