// A folder on the way back swapped for a link after the item left (the parent itself, or a
// folder above it): the undo of a removal, the restore of a backup and the undo of a move
// put nothing into the link's target. The item stays where it is (the store, the move's
// destination), and the log names the link. A copy into a folder that became a link is
// not made.
#include <gtest/gtest.h>

#include "common/text.h"
#include "move_files/move_executor.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "undo/undo_transaction.h"
#include "undo/write_ahead_log.h"
#include "log_lines.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

const std::wstring kRoot = L"C:\\tw-swap";
const std::wstring kItem = kRoot + L"\\data\\Cache\\version.dll";
const std::wstring kTarget = L"C:\\tw-swap-protected";
const std::wstring kMovedTo = L"C:\\tw-swap-moved\\version.dll";
const std::wstring kJournal = L"C:\\tw-swap-journal.tmp";

enum class Operation { RemovalUndo, BackupRestore, MoveUndo };
enum class Swapped { Parent, Above };

void clearAll() {
    for (const auto& path : {kRoot + L"\\data\\Cache", kRoot + L"\\data"}) removeUnixLink(path);
    for (const auto& path : {kRoot, kTarget, std::wstring(L"C:\\tw-swap-moved")}) removeUnixTree(path);
    for (const auto& file : {kJournal, writeAheadFile(kJournal), leftoverFile(kJournal)}) DeleteFileW(file.c_str());
    for (const auto& bin : recycleBins()) removeUnixTree(bin);
}

// Puts a link where the item's parent, or the folder above it, was, in a folder that
// every account can write (so that any user could have made the link); the target has
// the same shape, so that a path followed through the link would land in it.
void swapForLink(Swapped swapped) {
    const std::wstring linkAt = swapped == Swapped::Parent ? kRoot + L"\\data\\Cache" : kRoot + L"\\data";
    makeFolder(swapped == Swapped::Parent ? kTarget : kTarget + L"\\Cache");
    removeUnixTree(linkAt);
    ASSERT_TRUE(makeUnixLink(linkAt, kTarget, LinkFolder::EveryoneWrites));
}

std::vector<MoveOperation> theMove() { return {{kItem, kMovedTo, kMoveFile, L"C:\\", {}}}; }

void runMove(const ActionLog& log, void (MoveExecutor::*step)()) {
    ActionData data(writeMoveWorkList(theMove()));
    data.parse();
    MoveExecutor executor(log);
    executor.load(data);
    (executor.*step)();
}

}  // namespace

TEST(SwappedLink, NothingLandsInTheTargetOfALinkSwappedInOnTheWayBack) {
    const struct {
        Operation operation;
        const char* name;
    } operations[] = {{Operation::RemovalUndo, "undo of a removal"},
                      {Operation::BackupRestore, "restore of a backup"},
                      {Operation::MoveUndo, "undo of a move"}};
    for (const auto& operation : operations)
        for (const Swapped swapped : {Swapped::Parent, Swapped::Above}) {
            SCOPED_TRACE(std::string(operation.name) + (swapped == Swapped::Parent ? ", the parent" : ", a folder above"));
            clearAll();
            writeFile(kItem, "planted");
            Lines said;
            const ActionLog log(0, L"test", &said);
            if (operation.operation == Operation::MoveUndo) {
                runMove(log, &MoveExecutor::run);
                ASSERT_TRUE(exists(kMovedTo));
            } else {
                UndoTransaction first(nullptr, &said, kJournal);
                if (operation.operation == Operation::RemovalUndo) {
                    ASSERT_TRUE(first.beginWriteAhead(L"{SWAP}"));
                    ASSERT_TRUE(first.take(kItem));
                } else {
                    ASSERT_TRUE(first.keepCopy(kItem).whole());
                }
                ASSERT_TRUE(first.saveJournal());
                first.keep();
            }
            ASSERT_NO_FATAL_FAILURE(swapForLink(swapped));
            if (operation.operation == Operation::MoveUndo) {
                runMove(log, &MoveExecutor::undo);
                EXPECT_EQ("planted", readFile(kMovedTo)) << "the file stays where it was moved to";
            } else {
                UndoTransaction undo(nullptr, &said, kJournal);
                if (operation.operation == Operation::BackupRestore) undo.setRestoreTarget(RestoreTarget::Replace);
                else undo.setOwner(L"{SWAP}");
                ASSERT_TRUE(undo.loadJournal());
                EXPECT_FALSE(undo.restoreAll());
            }
            const std::vector<std::wstring> shape =
                swapped == Swapped::Parent ? std::vector<std::wstring>{} : std::vector<std::wstring>{L"Cache\\"};
            EXPECT_EQ(shape, listTree(kTarget)) << "nothing landed in the link's target";
            EXPECT_TRUE(said.has(L" is a link (error 1921)"));
        }
    clearAll();
}

// A copy whose destination folder, or one above it, is a link by the time it runs: the
// copy is not made, and nothing lands in the link's target.
TEST(SwappedLink, ACopyPutsNothingIntoTheTargetOfALinkOnItsWay) {
    const std::wstring source = L"C:\\tw-swap-moved\\source.dll";
    for (const Swapped swapped : {Swapped::Parent, Swapped::Above}) {
        SCOPED_TRACE(swapped == Swapped::Parent ? "the parent" : "a folder above");
        clearAll();
        writeFile(source, "copied");
        makeFolder(kRoot + L"\\data\\Cache");
        ASSERT_NO_FATAL_FAILURE(swapForLink(swapped));
        Lines said;
        const ActionLog log(0, L"test", &said);
        ActionData data(writeMoveWorkList({{source, kItem, kCopyFile, L"C:\\", {}}}));
        data.parse();
        MoveExecutor executor(log);
        executor.load(data);
        executor.run();
        const std::vector<std::wstring> shape =
            swapped == Swapped::Parent ? std::vector<std::wstring>{} : std::vector<std::wstring>{L"Cache\\"};
        EXPECT_EQ(shape, listTree(kTarget)) << "nothing landed in the link's target";
        EXPECT_TRUE(said.has(L" is a link (error 1921)"));
        EXPECT_EQ("copied", readFile(source));
    }
    clearAll();
}
