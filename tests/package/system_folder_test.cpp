// A package row that names the Windows System32 folder reaches the same files with either
// build: the 32-bit library's file calls are redirected by WOW64 (System32 to SysWOW64,
// Sysnative to the real System32), and the 64-bit library maps its paths the same way.
#include <gtest/gtest.h>

#include "common/text.h"
#include "package.h"
#include "path_states.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

// The real folders, as this test program names them: a 32-bit program reaches the real
// System32 only through Sysnative, a 64-bit one by its name. SysWOW64 is never redirected.
const std::wstring kWindows = L"C:\\windows";
const std::wstring kNativeSystem = kWindows + (sizeof(void*) == 8 ? L"\\System32" : L"\\Sysnative");
const std::wstring kWowSystem = kWindows + L"\\SysWOW64";
const std::wstring kTestFolder = L"\\tw-system-folder";

}  // namespace

TEST(SystemFolder, RowsNamingSystem32ReachTheSameFileWithEitherBuild) {
    // Each row's folder as the package writes it, and which of the two real folders loses
    // its file: the same for both builds.
    struct Case {
        const wchar_t* key;
        std::wstring folderInPackage;
        const wchar_t* file;
        bool removedFromWow;  // else from the real System32
    } cases[] = {
        {L"system32", kWindows + L"\\System32" + kTestFolder, L"a.txt", true},
        {L"upper", L"C:\\WINDOWS\\SYSTEM32" + kTestFolder, L"b.txt", true},
        {L"sysnative", kWindows + L"\\Sysnative" + kTestFolder, L"c.txt", false},
        {L"syswow64", kWindows + L"\\SysWOW64" + kTestFolder, L"d.txt", true},
    };
    for (const auto& folder : {kNativeSystem + kTestFolder, kWowSystem + kTestFolder}) removeTree(folder);

    Package package(L"system-folder");
    package.component(L"Main").property(L"DISABLEROLLBACK", L"1");
    for (const auto& c : cases) {
        layDown({{kNativeSystem + kTestFolder + L"\\" + c.file, "native"}, {kWowSystem + kTestFolder + L"\\" + c.file, "wow"}});
        package.property(std::wstring(L"P_") + c.key, c.folderInPackage)
            .rows(L"RemoveFile", {{c.key, L"Main", c.file, std::wstring(L"P_") + c.key, L"1"}})
            .rows(L"VU_RemoveFile", {{c.key, L"", L"0"}});
    }
    package.withKit().kitSequence(L"VU_UndoRemoveFiles").kitSequence(L"VU_RemoveFilesImmediate");
    ASSERT_EQ(0u, package.install().code);

    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.key));
        expectStates({{kNativeSystem + kTestFolder + L"\\" + c.file, c.removedFromWow ? "native" : kAbsent},
                      {kWowSystem + kTestFolder + L"\\" + c.file, c.removedFromWow ? kAbsent : "wow"}});
    }
    for (const auto& folder : {kNativeSystem + kTestFolder, kWowSystem + kTestFolder}) removeTree(folder);

}
