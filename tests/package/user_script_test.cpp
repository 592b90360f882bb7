// The user's script for network items in real installations: an item the script does
// not confirm is neither recorded as taken nor forgotten as put back, and a store whose
// copy did not come back is kept; a program of xcopy's name planted on the share does not
// run; a process that seizes the script's output, floods it and holds it open keeps no
// action waiting.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/unique_any.h"
#include "child_run.h"
#include "package.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

using Names = std::vector<std::wstring>;

// What lies in the network drive's store folders, below their {GUID} folders.
Names networkStoreFiles() {
    Names files;
    for (const auto& name : listTree(L"N:\\VU_RecycleBin"))
        if (name.back() != L'\\') files.push_back(name.substr(name.find(L'\\') + 1));
    return files;
}

// The folder's "data" backed up at installation (the user's script copies it), the backup
// discarded at uninstallation.
void backUpNetworkData(Package& package, const TestFolder& folder) {
    package.property(L"TWNET", folder.path())
        .component(L"Main")
        .rows(L"VU_PersistentData", {{L"net", L"0", L"1", L"[TWNET]\\data"}})
        .withKit()
        .kitSequence(L"VU_BackupImmediate")
        .kitSequence(L"VU_BackupCleanup", L"REMOVE~=\"ALL\"");
}

}  // namespace

// A network file held open without delete sharing cannot be moved: the script says so,
// the file stays in place and is not recorded, so the commit deletes only the item that
// did move.
TEST(UserScript, ANetworkItemTheScriptCouldNotMoveStaysInPlaceAndUnrecorded) {
    TestFolder folder(L"N:\\tw-user-script-take");
    writeFile(folder / L"held.txt", "held");
    writeFile(folder / L"free.txt", "free");
    deleteJournalFiles();
    Package package(L"user-script-take");
    package.property(L"TWNET", folder.path())
        .component(L"Main")
        .rows(L"RemoveFile", {{L"held", L"Main", L"held.txt", L"TWNET", L"1"}, {L"free", L"Main", L"free.txt", L"TWNET", L"1"}})
        .rows(L"VU_RemoveFile", {{L"held", L"", L"0"}, {L"free", L"", L"0"}})
        .withKit()
        .kitSequence(L"VU_UndoRemoveFiles")
        .kitSequence(L"VU_RemoveFilesImmediate");
    RunResult result;
    {
        const unique_hfile held(CreateFileW((folder / L"held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.is_valid());
        result = package.install();
    }
    ASSERT_EQ(0u, result.code);
    EXPECT_TRUE(result.logHas(L"the script ended with status 1: 1 of 2 items arrived"));
    EXPECT_TRUE(result.logHas(L"network item " + folder / L"held.txt" +
                              L" stays in place: the user's script did not confirm its move"));
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesCommit: deleting 1 removed items for good"));
    EXPECT_EQ(Names{L"held.txt"}, listTree(folder.path()));
    EXPECT_EQ("held", readFile(folder / L"held.txt"));
    EXPECT_EQ(Names{}, recycleBins());
}

// A backed-up network file whose folder has become a file by the time of the restore
// cannot go back: its copy stays in the store (the store is not deleted), the log says
// where, and what stands in the way is untouched.
TEST(UserScript, ANetworkCopyTheScriptCouldNotPutBackKeepsItsStore) {
    TestFolder folder(L"N:\\tw-user-script-restore");
    writeFile(folder / L"data\\settings.ini", "old settings");
    Package package(L"user-script-restore");
    package.property(L"TWNET", folder.path())
        .component(L"Main")
        .rows(L"VU_PersistentData", {{L"net", L"0", L"1", L"[TWNET]\\data\\settings.ini"}})
        .withKit()
        .kitSequence(L"VU_BackupImmediate")
        .kitSequence(L"VU_RestoreImmediate", L"REMOVE~=\"ALL\"");
    ASSERT_EQ(0u, package.install().code);
    EXPECT_EQ(Names{L"0\\settings.ini"}, networkStoreFiles());

    removeTree(folder / L"data");
    writeFile(folder / L"data", "in the way");
    const RunResult result = package.uninstall();
    ASSERT_EQ(0u, result.code);
    EXPECT_TRUE(result.logHas(L"the script ended with status 1: 0 of 1 items arrived"));
    EXPECT_TRUE(result.logHas(L"network item " + folder / L"data\\settings.ini" +
                              L" was not put back: the user's script did not confirm it; it stays in N:\\VU_RecycleBin\\"));
    EXPECT_EQ("in the way", readFile(folder / L"data"));
    EXPECT_EQ(Names{L"0\\settings.ini"}, networkStoreFiles()) << "the copy that did not come back is kept";
    removeTree(L"N:\\VU_RecycleBin");
}

// A program of xcopy's name on the share, beside the backed-up folder and in it, does not
// run: the copy is made by the system's xcopy, whole, and the planted one leaves no mark.
TEST(UserScript, AnXcopyPlantedOnTheShareDoesNotRun) {
    TestFolder folder(L"N:\\tw-user-script-planted");
    const std::wstring mark = L"C:\\tw-user-script-planted-ran.txt";
    DeleteFileW(mark.c_str());
    writeFile(folder / L"data\\settings.ini", "settings");
    writeFile(folder / L"data\\sub\\more.ini", "more");
    for (const auto& place : {folder.path(), folder / L"data"})
        for (const wchar_t* name : {L"xcopy.bat", L"xcopy.cmd"})
            writeFile(place + L"\\" + name, "@echo planted > \"" + toUtf8(mark) + "\"\r\n@exit /b 0\r\n");
    Package package(L"user-script-planted");
    backUpNetworkData(package, folder);
    const RunResult result = package.install();
    ASSERT_EQ(0u, result.code);
    EXPECT_TRUE(result.logHas(L"the script ended with status 0: 1 of 1 items arrived"));
    EXPECT_FALSE(exists(mark)) << "the planted xcopy ran";
    const Names stored = networkStoreFiles();
    for (const wchar_t* file : {L"0\\data\\settings.ini", L"0\\data\\sub\\more.ini"})
        EXPECT_NE(stored.end(), std::find(stored.begin(), stored.end(), file)) << toUtf8(file);
    ASSERT_EQ(0u, package.uninstall().code);
    EXPECT_EQ(Names{}, networkStoreFiles());
    DeleteFileW(mark.c_str());
}

namespace {

constexpr const wchar_t* kSeizedMark = L"C:\\tw-user-script-seized.txt";

// The process ids of every running cmd.exe and xcopy.exe.
std::vector<DWORD> scriptProcesses() {
    std::vector<DWORD> ids(4096);
    DWORD bytes = 0;
    if (!K32EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
    ids.resize(bytes / sizeof(DWORD));
    std::vector<DWORD> found;
    for (const DWORD id : ids) {
        const unique_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        wchar_t image[MAX_PATH];
        DWORD length = MAX_PATH;
        if (!process || !QueryFullProcessImageNameW(process.get(), 0, image, &length)) continue;
        const std::wstring name = asciiLower(std::wstring(image, length));
        for (const wchar_t* wanted : {L"\\cmd.exe", L"\\xcopy.exe"})
            if (name.size() > wcslen(wanted) && name.compare(name.size() - wcslen(wanted), std::wstring::npos, wanted) == 0)
                found.push_back(id);
    }
    return found;
}

}  // namespace

// What a user can do to their own script's processes: copy the pipes out of them (here by
// trying every handle value), then flood them and hold them open after the script ended.
TEST(UserScript, DISABLED_SeizesTheScriptsOutput) {
    std::vector<unique_handle> pipes;
    for (int round = 0; round < 60000 && pipes.empty(); ++round) {
        for (const DWORD id : scriptProcesses()) {
            const unique_handle process(OpenProcess(PROCESS_DUP_HANDLE, FALSE, id));
            for (ULONG_PTR value = 4; process && value <= 4096; value += 4) {
                HANDLE copy = nullptr;
                if (!DuplicateHandle(process.get(), reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                                     DUPLICATE_SAME_ACCESS))
                    continue;
                unique_handle held(copy);
                if (GetFileType(held.get()) == FILE_TYPE_PIPE) pipes.push_back(std::move(held));
            }
        }
        if (pipes.empty()) Sleep(1);
    }
    if (pipes.empty()) ExitProcess(1);
    writeFile(kSeizedMark, "seized");
    const std::vector<char> chunk(64 * 1024, 'f');
    for (int sent = 0; sent < 256; ++sent) {
        bool any = false;
        for (const auto& pipe : pipes) {
            DWORD written = 0;
            any = WriteFile(pipe.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) || any;
        }
        if (!any) break;  // the reader has gone
    }
    Sleep(60000);  // and hold them
    ExitProcess(0);
}

// A user's process that seizes the script's output while it runs, floods it and keeps it
// open after the script ended keeps the installation waiting no longer than the grace
// after the script, and costs it no memory beyond the kept output: both are logged, and
// the item arrived.
TEST(UserScript, ASeizedFloodedAndHeldOutputKeepsNoActionWaiting) {
    TestFolder folder(L"N:\\tw-user-script-seized");
    DeleteFileW(kSeizedMark);
    // Enough files that the copy lasts while the output is seized.
    for (int i = 0; i < 400; ++i) writeFile(folder / (L"data\\f" + std::to_wstring(i) + L".txt"), std::to_string(i));
    Package package(L"user-script-seized");
    backUpNetworkData(package, folder);
    package.build();
    const unique_handle seizer = startChild(L"UserScript", L"SeizesTheScriptsOutput", nullptr, L"");
    ASSERT_TRUE(seizer.is_valid());
    const RunResult result = package.install();
    TerminateProcess(seizer.get(), 0);
    ASSERT_EQ(0u, result.code);
    ASSERT_TRUE(exists(kSeizedMark)) << "the output was not seized while the script ran: the case was not made";
    EXPECT_TRUE(result.logHas(L"bytes of output beyond the 65536 kept: they were discarded"));
    EXPECT_TRUE(result.logHas(L"a process outside the script held its output open after it ended: not waited for beyond 2000 ms"));
    EXPECT_TRUE(result.logHas(L"the script ended with status 0: 1 of 1 items arrived"));
    EXPECT_EQ(400u, networkStoreFiles().size());
    ASSERT_EQ(0u, package.uninstall().code);
    DeleteFileW(kSeizedMark);
}
