// What an installer author reads when items fail: every item that could not be removed,
// copied or moved is named in the MSI log, and the installation still succeeds.
#include <windows.h>
#include <msidefs.h>
#include <gtest/gtest.h>

#include "common/text.h"
#include "common/unique_any.h"
#include "backup_file.h"
#include "package.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

// Holds the file open without sharing, as another program would, for the whole run.
unique_hfile lock(const std::wstring& path) {
    return unique_hfile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

TEST(FailureLog, EveryItemThatFailsIsNamedInTheLog) {
    TestFolder root(L"C:\\tw-failures");
    writeFile(root / L"remove\\locked.log", "in use");
    writeFile(root / L"remove\\free.log", "free");
    writeFile(root / L"tree\\kept\\held.txt", "in use");
    writeFile(root / L"move\\copy-me.txt", "in use");
    writeFile(root / L"move\\move-me.dat", "blocked");
    // A file where the move's destination folder should be: the folder cannot be made.
    writeFile(root / L"blocker", "not a folder");

    Package package(L"failure-log");
    package.component(L"Main")
        .property(L"DISABLEROLLBACK", L"1")
        .property(L"REMOVE_DIR", root / L"remove\\")
        .property(L"TREE_DIR", root / L"tree\\kept\\")
        .property(L"MOVE_SRC", root / L"move\\")
        .property(L"MOVE_DST", root / L"moved\\")
        .property(L"BLOCKED_DST", root / L"blocker\\sub\\")
        .rows(L"RemoveFile", {{L"logs", L"Main", L"LOGS|*.log", L"REMOVE_DIR", L"1"},
                              {L"tree", L"Main", L"", L"TREE_DIR", L"1"}})
        .rows(L"VU_RemoveFile", {{L"logs", L"", L"0"}, {L"tree", L"", L"3"}})
        .rows(L"MoveFile", {{L"copy", L"Main", L"copy-me.txt", L"", L"MOVE_SRC", L"MOVE_DST", L"0"},
                            {L"move", L"Main", L"move-me.dat", L"", L"MOVE_SRC", L"BLOCKED_DST", L"1"}})
        .rows(L"VU_MoveFile", {{L"copy", L"", L"0"}, {L"move", L"", L"0"}})
        .withKit()
        .kitSequence(L"VU_UndoRemoveFiles")
        .kitSequence(L"VU_RemoveFilesImmediate")
        .sequence(L"VU_MoveFilesImmediate", 3790);

    RunResult result;
    {
        // (Wine lets a file held like this be renamed, so the move fails another way.)
        const auto held = {lock(root / L"remove\\locked.log"), lock(root / L"tree\\kept\\held.txt"),
                           lock(root / L"move\\copy-me.txt")};
        for (const auto& handle : held) ASSERT_TRUE(handle.is_valid());
        result = package.install();
    }
    ASSERT_EQ(0u, result.code) << "single items never fail the installation";

    EXPECT_FALSE(exists(root / L"remove\\free.log"));
    EXPECT_TRUE(exists(root / L"remove\\locked.log"));
    const std::wstring expected[] = {
        L"OnVuRemoveFilesPermanent: row logs: could not remove " + (root / L"remove\\locked.log"),
        L"OnVuRemoveFilesPermanent: row tree: could not remove " + (root / L"tree\\kept"),
        L"OnVuMoveFilesDeferred: could not copy '" + (root / L"move\\copy-me.txt") + L"'",
        L"OnVuMoveFilesDeferred: could not move '" + (root / L"move\\move-me.dat") + L"'",
    };
    for (const auto& line : expected) EXPECT_TRUE(result.logHas(line)) << "missing in the log: " << toUtf8(line);
}

TEST(FailureLog, ItemsThatCannotBeBackedUpOrRestoredAreNamedInTheLog) {
    TestFolder root(L"C:\\tw-failures-backup");
    writeFile(root / L"keep\\data\\a.txt", "kept");

    Package package(L"failure-log-backup");
    package.component(L"Main")
        .rows(L"VU_PersistentData", {{L"kept", L"0", L"1", root / L"keep\\data\\a.txt"},
                                     {L"missing", L"0", L"1", root / L"none.txt"}})
        .withKit()
        .kitSequence(L"VU_BackupImmediate", L"NOT REMOVE")
        .kitSequence(L"VU_RestoreImmediate", L"REMOVE~=\"ALL\"");

    const RunResult install = package.install();
    ASSERT_EQ(0u, install.code);
    EXPECT_TRUE(install.logHas(L"OnVuBackupImmediate: row missing: " + (root / L"none.txt") + L" not backed up: it does not exist"))
        << "an item that does not exist is no failure of the backup";

    // Where the file's folder was, a file now stands: the copy cannot go back.
    removeTree(root / L"keep\\data");
    writeFile(root / L"keep\\data", "a file in the way");
    const RunResult uninstall = package.uninstall();
    ASSERT_EQ(0u, uninstall.code);
    EXPECT_TRUE(uninstall.logHas(L"OnVuRestoreDeferred: could not restore " + (root / L"keep\\data\\a.txt") +
                                 L"; the copy stays in "));
    EXPECT_EQ("a file in the way", readFile(root / L"keep\\data"));

    // The copy that could not go back is kept in its store, not deleted.
    bool copyKept = false;
    for (const auto& name : listTree(L"C:\\VU_RecycleBin"))
        copyKept = copyKept || (name.size() > 6 && name.substr(name.size() - 6) == L"\\a.txt" &&
                                readFile(L"C:\\VU_RecycleBin\\" + name) == "kept");
    EXPECT_TRUE(copyKept);
    removeTree(L"C:\\VU_RecycleBin");
}
