// A run of an undoable removal ended by TerminateProcess (no destructor runs) leaves its
// write-ahead record; here under the one journal name that earlier versions kept for
// every installation in the temporary folder, which is still read. The rollback of another installation leaves it alone, also while
// someone holds it open; the next installation whose undoable removal starts puts the
// earlier run's items back where nothing stands now, never over a newer file, and counts
// an item recorded but never moved as in place.
#include <gtest/gtest.h>

#include "common/text.h"
#include "common/unique_any.h"
#include "undo/undo_transaction.h"
#include "undo/write_ahead_log.h"
#include "child_run.h"
#include "package.h"
#include "path_states.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

const wchar_t* const kChildVariable = L"TW_STALE_JOURNAL_CHILD";
const wchar_t* const kEarlierProduct = L"{5A1E0000-0000-4000-8000-0000000000E1}";
const std::wstring kStaleFolder = L"C:\\tw-stale";
const std::wstring kEnded = L"C:\\tw-stale-ended.txt";

// Taken by the earlier run (items 0 to 2), recorded but never moved (3), never reached (4).
const std::wstring kItem0 = kStaleFolder + L"\\item0", kItem1 = kStaleFolder + L"\\item1.txt", kItem2 = kStaleFolder + L"\\item2";
const std::wstring kItem3 = kStaleFolder + L"\\item3.txt", kItem4 = kStaleFolder + L"\\item4.txt";
const std::vector<PathState> kBefore{{kItem0 + L"\\data.txt", "zero"}, {kItem1, "one"}, {kItem2 + L"\\data.txt", "two"},
                                     {kItem3, "three"}, {kItem4, "four"}};

// The text of the log line that follows the marker.
std::wstring restOfLine(const std::wstring& log, const std::wstring& marker) {
    const size_t at = log.find(marker);
    if (at == std::wstring::npos) return {};
    const size_t start = at + marker.size();
    return log.substr(start, log.find_first_of(L"\r\n", start) - start);
}

}  // namespace

// The child: runs when the parent test starts this program with the variable set.
TEST(StaleJournal, DISABLED_ChildRemovesUntilEnded) {
    if (GetEnvironmentVariableW(kChildVariable, nullptr, 0) == 0)
        GTEST_SKIP() << "runs inside StaleJournal.NextInstallationPutsBackWhereNothingStandsNow";
    UndoTransaction earlier(nullptr);  // the earlier versions' journal in the temporary folder
    ASSERT_TRUE(earlier.beginWriteAhead(kEarlierProduct));
    for (const auto* item : {&kItem0, &kItem1, &kItem2}) ASSERT_TRUE(earlier.take(*item));
    // The run ends between writing item 3's record and moving it: a file where its store
    // folder would go makes the move fail right after the record.
    writeFile(earlier.fileStores().at(L"C:\\")->recordedLocation() + L"\\3", "in the way");
    EXPECT_FALSE(earlier.take(kItem3));
    writeFile(kEnded, "ended");
    Sleep(INFINITE);
}

TEST(StaleJournal, NextInstallationPutsBackWhereNothingStandsNow) {
    TestFolder folder(kStaleFolder);
    TestFolder own(L"C:\\tw-stale-own");
    const std::wstring ahead = writeAheadFile(journalPath());
    for (const auto& file : {journalPath(), ahead, leftoverFile(journalPath()), kEnded}) DeleteFileW(file.c_str());
    for (const auto& bin : recycleBins()) removeTree(bin);
    layDown(kBefore);

    ASSERT_NO_FATAL_FAILURE(
        runChildUntilMarker(L"StaleJournal", L"ChildRemovesUntilEnded", kChildVariable, kEnded));
    DeleteFileW(kEnded.c_str());
    expectStates({{kItem0, kAbsent}, {kItem1, kAbsent}, {kItem2, kAbsent}, {kItem3, "three"}, {kItem4, "four"}});
    ASSERT_TRUE(exists(ahead));
    ASSERT_FALSE(exists(journalPath())) << "the journal itself is written only at the end";

    // The rollback of an installation that took nothing leaves the record alone: held open
    // by another process, or written for another installation.
    enum class Record { HeldOpen, OtherInstallation };
    const struct {
        Record record;
        std::wstring logged;
    } rollbacks[] = {
        {Record::HeldOpen, L"OnVuUndoRemoveFiles: the undo record " + ahead + L" is not read and is left in place (error 32)"},
        {Record::OtherInstallation, L"OnVuUndoRemoveFiles: the journal " + journalPath() +
                                        L" belongs to another installation (" + kEarlierProduct + L"); it is left alone"},
    };
    for (const auto& rollback : rollbacks) {
        SCOPED_TRACE(static_cast<int>(rollback.record));
        unique_hfile held;
        if (rollback.record == Record::HeldOpen)
            held.reset(CreateFileW(ahead.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        Package other(L"stale-other-rollback");
        other.component(L"Main").withKit().kitSequence(L"VU_UndoRemoveFiles").failAt(6500);
        const RunResult result = other.install();
        held.reset();
        ASSERT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), result.code);
        EXPECT_TRUE(result.logHas(rollback.logged)) << toUtf8(rollback.logged);
        EXPECT_TRUE(exists(ahead));
        EXPECT_FALSE(exists(kItem0)) << "nothing of the earlier run was put back";
    }

    // A newer file now stands where item 1 was; then an installation removes its own
    // file undoably, and commits.
    writeFile(kItem1, "newer");
    writeFile(own / L"mine.txt", "mine");
    Package next(L"stale-next");
    next.component(L"Main")
        .property(L"OWN", own.path())
        .rows(L"RemoveFile", {{L"mine", L"Main", L"mine.txt", L"OWN", L"1"}})
        .rows(L"VU_RemoveFile", {{L"mine", L"", L"0"}})
        .withKit()
        .kitSequence(L"VU_UndoRemoveFiles")
        .kitSequence(L"VU_RemoveFilesImmediate");
    const RunResult result = next.install();
    ASSERT_EQ(0u, result.code);
    for (const std::wstring& line :
         {L"OnVuRemoveFilesUndoable: an earlier run left its journal " + journalPath(),
          L"the run that wrote " + journalPath() + L" ended early: its items are read from " + ahead,
          kItem3 + L" was never moved: it is in place",
          L"could not put back " + kItem1 + L": something newer stands there",
          std::wstring(L"OnVuRemoveFilesUndoable: items of the earlier run that could not go back stay in their stores"),
          L"OnVuRemoveFilesUndoable: the journal " + leftoverFile(journalPath()) +
              L" keeps the 1 items that could not be put back; the next run takes them up",
          L"OnVuRemoveFilesUndoable: row mine: removed " + own / L"mine.txt",
          std::wstring(L"OnVuRemoveFilesCommit: deleting 1 removed items for good")})
        EXPECT_TRUE(result.logHas(line)) << toUtf8(line);
    expectStates({{kItem0 + L"\\data.txt", "zero"}, {kItem1, "newer"}, {kItem2 + L"\\data.txt", "two"},
                  {kItem3, "three"}, {kItem4, "four"}, {own / L"mine.txt", kAbsent}});
    EXPECT_FALSE(exists(journalPath()));
    EXPECT_FALSE(exists(ahead));
    EXPECT_FALSE(exists(journalPath(next.productCode()))) << "the new run's own journal went with its commit";

    // The earlier item 1 is not lost: it waits in the store the log names, and the
    // leftover file beside the journal names it for the next run.
    EXPECT_TRUE(exists(leftoverFile(journalPath())));
    const std::wstring stored = restOfLine(result.log, L"something newer stands there; the item stays in ");
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ("one", readFile(stored + L"\\item1.txt"));
    EXPECT_EQ(1u, recycleBins().size());
    DeleteFileW(leftoverFile(journalPath()).c_str());
    for (const auto& bin : recycleBins()) removeTree(bin);
}
