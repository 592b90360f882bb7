// The user's script for network items in real installations: an item the script does
// not confirm is neither recorded as taken nor forgotten as put back, and a store whose
// copy did not come back is kept.
#include <gtest/gtest.h>

#include "common/text.h"
#include "common/unique_any.h"
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
