// Long names and links through every way the library removes, takes back, copies and
// moves files: permanent removal, undoable removal with rollback and with commit, backup
// with restore, and moves. Paths run past 300 characters; links are Unix symbolic links,
// as a user would plant them under Wine.
#include <gtest/gtest.h>

#include "common/unique_any.h"
#include "undo/undo_transaction.h"
#include "win/folder_removal.h"
#include "win/paths.h"
#include "win/folder_entries.h"
#include "win/tree_copy.h"
#include "win/tree_delete.h"
#include "win/tree_move.h"
#include "win/tree_size.h"
#include "test_fs.h"
#include "log_lines.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

using Names = std::vector<std::wstring>;

// C:\tw-tree\<250 a>\<60 b>\<files>: paths past 300 characters, a link to a folder outside
// the tree and a link to a file outside it, whose targets must never be touched.
struct LongTree {
    TestFolder root{L"C:\\tw-tree"};
    TestFolder outside{L"C:\\tw-tree-target"};
    const std::wstring tree = root / std::wstring(250, L'a');
    const std::wstring deep = tree + L"\\" + std::wstring(60, L'b');
    const std::wstring longFile = deep + L"\\" + std::wstring(40, L'c') + L".txt";
    const std::wstring folderLink = deep + L"\\folder-link";
    const std::wstring fileLink = tree + L"\\file-link.txt";

    LongTree() {
        writeFile(longFile, "long");
        writeFile(tree + L"\\top.txt", "top");
        writeFile(outside / L"kept\\precious.txt", "precious");
        writeFile(outside / L"precious-file.txt", "file");
        EXPECT_GT(longFile.size(), 300u);
        EXPECT_TRUE(makeUnixLink(folderLink, outside / L"kept"));
        EXPECT_TRUE(makeUnixLink(fileLink, outside / L"precious-file.txt"));
    }
    ~LongTree() {
        for (const auto* link : {&folderLink, &fileLink}) {
            std::wstring at = *link;
            if (!exists(at)) continue;
            removeUnixLink(at);
        }
    }
    void expectTargetsUntouched() const {
        EXPECT_EQ("precious", readFile(outside / L"kept\\precious.txt"));
        EXPECT_EQ("file", readFile(outside / L"precious-file.txt"));
    }
    void expectWhole(const std::wstring& at) const {
        EXPECT_EQ("long", readFile(at + longFile.substr(tree.size())));
        EXPECT_EQ("top", readFile(at + L"\\top.txt"));
        EXPECT_TRUE(attributesOf(at + folderLink.substr(tree.size())) & FILE_ATTRIBUTE_REPARSE_POINT)
            << "the folder link is still a link";
    }
};

}  // namespace

TEST(LongNamesAndLinks, PermanentRemovalDeletesTheTreeButNoLinkTarget) {
    LongTree fixture;
    Lines log;
    EXPECT_FALSE(removeFolderTree(fixture.tree, nullptr, &log))
        << "Wine opens a link only through its target: the links stay, and the removal says so";
    EXPECT_FALSE(exists(fixture.longFile));
    EXPECT_FALSE(exists(fixture.tree + L"\\top.txt"));
    EXPECT_TRUE(log.has(L"link " + fixture.folderLink + L" kept"));
    EXPECT_TRUE(log.has(L"link " + fixture.fileLink + L" kept"));
    fixture.expectTargetsUntouched();
}

TEST(LongNamesAndLinks, UndoableRemovalRollsBackAndCommitsWithLinksMovedAsLinks) {
    enum class Ending { Rollback, Commit };
    for (const Ending ending : {Ending::Rollback, Ending::Commit}) {
        SCOPED_TRACE(ending == Ending::Rollback ? "rollback" : "commit");
        LongTree fixture;
        const std::wstring journal = fixture.root / L"journal.tmp";
        Lines log;
        {
            UndoTransaction removal(nullptr, &log, journal);
            ASSERT_TRUE(removal.beginWriteAhead(L"{TEST}"));
            ASSERT_TRUE(removal.take(fixture.tree));
            ASSERT_TRUE(removal.saveJournal());
            removal.keep();
        }
        EXPECT_FALSE(exists(fixture.tree));
        fixture.expectTargetsUntouched();
        {
            UndoTransaction after(nullptr, &log, journal);
            after.setOwner(L"{TEST}");
            ASSERT_TRUE(after.loadJournal());
            if (ending == Ending::Rollback) {
                EXPECT_TRUE(after.restoreAll());
            }
        }
        fixture.expectTargetsUntouched();
        if (ending == Ending::Rollback) {
            fixture.expectWhole(fixture.tree);
            EXPECT_EQ(Names{}, recycleBins());
        } else {
            EXPECT_FALSE(exists(fixture.tree));
            // Wine cannot remove the links inside the store without following them: the
            // store keeps them (and says so) rather than touch their targets.
            EXPECT_TRUE(log.has(L"could not delete the store"));
            // What is left stays named for the next run, beside the journal, not in it.
            EXPECT_TRUE(exists(leftoverFile(journal)));
            EXPECT_TRUE(DeleteFileW(leftoverFile(journal).c_str()));
            for (const auto& bin : recycleBins()) EXPECT_TRUE(removeUnixTree(bin));
        }
        EXPECT_FALSE(exists(journal));
        EXPECT_FALSE(exists(writeAheadFile(journal)));
    }
}

TEST(LongNamesAndLinks, BackupCopiesWithoutLinksAndRestoresOverChanges) {
    LongTree fixture;
    const std::wstring backupFile = fixture.root / L"backup.bak";
    Lines log;
    {
        UndoTransaction backup(nullptr, &log, backupFile);
        ASSERT_TRUE(backup.keepCopy(fixture.tree).whole());
        ASSERT_TRUE(backup.keepCopy(fixture.longFile).whole());
        ASSERT_TRUE(backup.saveJournal());
        backup.keep();
    }
    EXPECT_TRUE(log.has(L"link " + fixture.folderLink + L" not copied"));
    writeFile(fixture.longFile, "changed");
    writeFile(fixture.tree + L"\\top.txt", "changed");
    {
        UndoTransaction restore(nullptr, &log, backupFile);
        ASSERT_TRUE(restore.loadJournal());
        restore.setRestoreTarget(RestoreTarget::Replace);
        EXPECT_TRUE(restore.restoreAll());
    }
    fixture.expectWhole(fixture.tree);
    fixture.expectTargetsUntouched();
    EXPECT_EQ(Names{}, recycleBins());
    EXPECT_FALSE(exists(backupFile));
}

TEST(LongNamesAndLinks, MovesKeepNamesAndNeverFollowALink) {
    LongTree fixture;
    TestFolder other(L"D:\\tw-tree");
    Lines log;
    // A file past 300 characters to another drive, then the whole tree, links and all.
    const std::wstring movedFile = other / std::wstring(240, L'm') + L".txt";
    ASSERT_TRUE(moveFileOrFolder(fixture.longFile, movedFile));
    EXPECT_EQ("long", readFile(movedFile));
    EXPECT_FALSE(exists(fixture.longFile));
    ASSERT_TRUE(moveFileOrFolder(movedFile, fixture.longFile));
    const std::wstring movedTree = other / std::wstring(250, L'a');
    ASSERT_EQ(MoveResult::Moved, moveTree(fixture.tree, movedTree, ExistingTarget::Refuse, &log));
    fixture.expectWhole(movedTree);
    ASSERT_EQ(MoveResult::Moved, moveTree(movedTree, fixture.tree, ExistingTarget::Refuse, &log));
    fixture.expectWhole(fixture.tree);
    // A link itself: Wine would move what it points to, so it is not moved at all.
    EXPECT_EQ(MoveResult::Failed, moveTree(fixture.folderLink, other / L"moved-link", ExistingTarget::Refuse, &log));
    EXPECT_EQ(MoveResult::Failed, moveTree(fixture.fileLink, other / L"moved-file", ExistingTarget::Refuse, &log));
    fixture.expectTargetsUntouched();
    EXPECT_TRUE(log.has(L"link " + fixture.fileLink + L" not moved"));
}

// A tree deeper than the walkers go is refused as a whole, and said so: nothing of it is
// copied, and a deletion stops without touching what lies below the bound. The backup's
// room check counts no deeper either, and says that its count is a floor.
TEST(DeepTrees, WalkersStopAtTheirBoundAndSaySo) {
    TestFolder root(L"C:\\tw-deep");
    std::wstring deepest = root.path();
    for (int level = 0; level <= kDeepestFolder + 1; ++level) {
        deepest += L"\\d";
        ASSERT_TRUE(CreateDirectoryW(prefixedPath(deepest).c_str(), nullptr)) << level;
    }
    const std::wstring bottom = prefixedPath(deepest + L"\\bottom");
    ASSERT_TRUE(CreateDirectoryW(bottom.c_str(), nullptr));
    {
        const unique_hfile below(CreateFileW((bottom + L"\\below.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                             nullptr));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(below.get(), "12345", 5, &written, nullptr));
    }
    test::writeFile(root / L"d\\top.bin", "12");
    const TreeSize size = treeSize(root / L"d");
    EXPECT_FALSE(size.complete);
    EXPECT_EQ(2u, size.bytes) << "nothing below the bound is counted";
    Lines log;
    const CopyOutcome copy = copyTree(root / L"d", L"C:\\tw-deep-copy", &log);
    EXPECT_FALSE(copy.complete);
    EXPECT_TRUE(log.has(L"the tree is deeper than 256 folders"));
    EXPECT_FALSE(deleteTree(root / L"d", &log));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(bottom.c_str())) << "below the bound nothing was deleted";
    removeUnixTree(L"C:\\tw-deep-copy");
    removeUnixTree(root.path());
}
