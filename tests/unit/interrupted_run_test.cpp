// An undoable removal whose process is ended (TerminateProcess: no destructor runs) after
// some of its items: the undo that follows puts every taken item back, and only the
// installation the journal belongs to may apply it.
#include <gtest/gtest.h>

#include "common/unique_any.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "remove_files/removal_worker.h"
#include "undo/undo_transaction.h"
#include "child_run.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

const wchar_t* const kChildVariable = L"TW_INTERRUPTED_CHILD";
const std::wstring kFolder = L"C:\\tw-interrupted";
const std::wstring kJournal = kFolder + L"-journal.tmp";
const std::wstring kTaken = kFolder + L"-taken.txt";
constexpr int kItems = 6;
constexpr int kTakenBeforeEnd = 3;

// Forwards to the transaction; after some items it says so and waits to be ended.
class StoppingSink final : public RemovalSink {
public:
    explicit StoppingSink(UndoTransaction& transaction) : transaction_(transaction) {}
    bool take(const std::wstring& path) override {
        const bool taken = transaction_.take(path);
        if (++count_ == kTakenBeforeEnd) {
            writeFile(kTaken, "taken");
            ::Sleep(INFINITE);
        }
        return taken;
    }

private:
    UndoTransaction& transaction_;
    int count_ = 0;
};

}  // namespace

// The child: disabled in the suite; the parent test starts this program with the
// variable set and asks for it by name.
TEST(InterruptedRun, DISABLED_ChildRemovesUntilEnded) {
    if (::GetEnvironmentVariableW(kChildVariable, nullptr, 0) == 0) GTEST_SKIP() << "runs inside InterruptedRun.UndoPutsBackEverythingTaken";
    const ActionLog log(0, L"child");
    UndoTransaction transaction(nullptr, &log, kJournal);
    ASSERT_TRUE(transaction.beginWriteAhead(L"{PRODUCT-A}"));
    // Folder rows with everything in them: each folder is one item.
    std::wstring list;
    for (int i = 0; i < kItems; ++i)
        list += L"k" + std::to_wstring(i) + L"\x01" L"c\x01\x01" + kFolder + L"\\item" + std::to_wstring(i) +
                L"\x01" L"1\x01\x01\x01" L"3" + (i + 1 < kItems ? L"\x02" : L"");
    ActionData data(list);
    data.parse();
    RemovalWorker worker(log);
    worker.load(data);
    StoppingSink sink(transaction);
    worker.run(&sink);
}

TEST(InterruptedRun, UndoPutsBackEverythingTaken) {
    TestFolder folder(kFolder);
    for (const auto* file : {kJournal.c_str(), kTaken.c_str()}) DeleteFileW(file);
    DeleteFileW(writeAheadFile(kJournal).c_str());
    for (int i = 0; i < kItems; ++i) writeFile(folder / (L"item" + std::to_wstring(i) + L"\\data.txt"), "data");
    const auto before = listTree(folder.path());

    ASSERT_NO_FATAL_FAILURE(
        runChildUntilMarker(L"InterruptedRun", L"ChildRemovesUntilEnded", kChildVariable, kTaken));
    DeleteFileW(kTaken.c_str());

    EXPECT_EQ(static_cast<size_t>(kItems - kTakenBeforeEnd) * 2, listTree(folder.path()).size()) << "some were taken";
    EXPECT_FALSE(exists(kJournal)) << "the journal itself is written only at the end";
    {
        // The rollback of another installation leaves the journal alone.
        UndoTransaction other(nullptr, nullptr, kJournal);
        other.setOwner(L"{PRODUCT-B}");
        EXPECT_FALSE(other.loadJournal());
    }
    EXPECT_TRUE(exists(writeAheadFile(kJournal)));
    {
        UndoTransaction undo(nullptr, nullptr, kJournal);
        undo.setOwner(L"{PRODUCT-A}");
        ASSERT_TRUE(undo.loadJournal());
        EXPECT_EQ(static_cast<size_t>(kTakenBeforeEnd), undo.itemCount());
        EXPECT_TRUE(undo.restoreAll());
    }
    EXPECT_EQ(before, listTree(folder.path()));
    EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
    EXPECT_FALSE(exists(writeAheadFile(kJournal)));
}
