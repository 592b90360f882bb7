// The Windows folder as WOW64 shows it to the 32-bit library, as text, and the paths that
// each build's file calls use.
#include <gtest/gtest.h>

#include "common/text.h"
#include "win/paths.h"
#include "win/wow64_paths.h"

using namespace tidewell;

TEST(Wow64Paths, System32SysnativeAndTheSharedSubfoldersAsWow64MapsThem) {
    const std::wstring windows = L"C:\\Windows";
    const struct {
        std::wstring path, mapped;
    } cases[] = {
        {L"C:\\Windows\\System32\\x\\a.dll", L"C:\\Windows\\SysWOW64\\x\\a.dll"},
        {L"c:\\windows\\system32", L"c:\\windows\\SysWOW64"},
        {L"\\\\?\\C:\\WINDOWS\\SYSTEM32\\a.dll", L"\\\\?\\C:\\WINDOWS\\SysWOW64\\a.dll"},
        {L"C:\\Windows\\Sysnative\\a.dll", L"C:\\Windows\\System32\\a.dll"},
        {L"C:\\Windows\\lastgood\\system32\\a.dll", L"C:\\Windows\\lastgood\\SysWOW64\\a.dll"},
        {L"C:\\Windows\\regedit.exe", L"C:\\Windows\\SysWOW64\\regedit.exe"},
        // Shared by both kinds of process: not redirected.
        {L"C:\\Windows\\System32\\drivers\\etc\\hosts", L"C:\\Windows\\System32\\drivers\\etc\\hosts"},
        {L"C:\\Windows\\System32\\catroot2", L"C:\\Windows\\System32\\catroot2"},
        {L"C:\\Windows\\System32\\spool\\drivers", L"C:\\Windows\\System32\\spool\\drivers"},
        // Only whole names count.
        {L"C:\\Windows\\System32x\\a.dll", L"C:\\Windows\\System32x\\a.dll"},
        {L"C:\\Windows\\System32\\drivers\\etcetera", L"C:\\Windows\\SysWOW64\\drivers\\etcetera"},
        {L"C:\\Windows\\SysWOW64\\a.dll", L"C:\\Windows\\SysWOW64\\a.dll"},
        {L"C:\\WindowsOld\\System32\\a.dll", L"C:\\WindowsOld\\System32\\a.dll"},
        {L"D:\\Windows\\System32\\a.dll", L"D:\\Windows\\System32\\a.dll"},
        {L"C:\\Windows", L"C:\\Windows"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.mapped, wow64RedirectedPath(c.path, windows)) << toUtf8(c.path);
        EXPECT_EQ(c.mapped, wow64RedirectedPath(c.path, windows + L"\\")) << toUtf8(c.path) << " (folder with backslash)";
    }
}

TEST(Wow64Paths, OnlyTheSixtyFourBitBuildMapsItsOwnPaths) {
    // Under WOW64 the 32-bit build's calls are redirected by the system: it maps nothing.
    const std::wstring system32 = L"\\\\?\\C:\\windows\\system32\\tw\\a.dll";
    const std::wstring expected = sizeof(void*) == 8 ? L"\\\\?\\C:\\windows\\SysWOW64\\tw\\a.dll" : system32;
    EXPECT_EQ(expected, libraryFileSystemPath(system32));
    EXPECT_EQ(expected, extendedPath(L"C:\\windows\\system32\\tw\\sub\\..\\a.dll"));
    EXPECT_EQ(L"\\\\?\\C:\\Program Files\\a.dll", extendedPath(L"C:\\Program Files\\a.dll"));
}
