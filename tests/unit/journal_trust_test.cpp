// A journal that cannot serve (held open by another program before the removal wrote it,
// written only in part, given a second name by a hard link) gives way to the write-ahead
// record of the same installation: the rollback still puts everything back.
#include <gtest/gtest.h>

#include <functional>

#include "common/text.h"
#include "common/unique_any.h"
#include "msi/action_log.h"
#include "undo/journal_file.h"
#include "undo/undo_transaction.h"
#include "undo/write_ahead_log.h"
#include "win/command_script.h"
#include "fault_fixture.h"
#include "log_lines.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

TEST(JournalTrust, TheWriteAheadRecordServesWhenTheJournalCannot) {
    const std::wstring link = kFaultJournal + L"-second-name";
    struct Case {
        const char* name;
        std::function<void()> beforeRemoval;  // done before the removal runs
        std::function<void()> afterRemoval;   // done between the removal and its rollback
        const wchar_t* logged;
    };
    unique_hfile held;
    const Case cases[] = {
        {"held open by another program",
         [&] {
             writeFile(kFaultJournal, "planted");
             held.reset(CreateFileW(kFaultJournal.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
             ASSERT_TRUE(held.is_valid());
         },
         nullptr, L"is not read and is left in place (error 32)"},
        {"written in part",
         nullptr,
         [&] {
             const std::string whole = readFile(kFaultJournal);
             ASSERT_GT(whole.size(), 8u);
             writeFile(kFaultJournal, whole.substr(0, whole.size() / 2));
         },
         L"is damaged; it is ignored"},
        {"with a second name",
         nullptr,
         [&] {
             DeleteFileW(link.c_str());
             ASSERT_TRUE(CreateHardLinkW(link.c_str(), kFaultJournal.c_str(), nullptr));
         },
         L"is not read and is left in place (error 1142)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        layDownFaultWorld();
        if (c.beforeRemoval) c.beforeRemoval();
        Lines said;
        const ActionLog log(0, L"test", &said);
        removeUndoable(log);
        ASSERT_FALSE(exists(kFaultRoot + L"\\tree")) << "the removal took the tree";
        if (c.afterRemoval) c.afterRemoval();
        rollBackRemoval(log);
        held.reset();
        DeleteFileW(link.c_str());
        std::string lines;
        for (const auto& line : said.lines) lines += "\n  " + toUtf8(line);
        bool logged = false, fromRecord = false;
        for (const auto& line : said.lines) {
            logged = logged || line.find(c.logged) != std::wstring::npos;
            fromRecord = fromRecord || line == L"its items are read from the undo record " + writeAheadFile(kFaultJournal);
        }
        EXPECT_TRUE(logged) << lines;
        EXPECT_TRUE(fromRecord) << lines;
        EXPECT_EQ(std::vector<std::string>{}, dataMismatches()) << lines;
        // The planted file is the other program's to delete.
        DeleteFileW(kFaultJournal.c_str());
        EXPECT_EQ(std::vector<std::string>{}, leftBehind()) << lines;
    }
    clearFaultWorld();
}

// A network item is recorded before the user's script moves it: a run that ends before
// its script ran leaves the item where it was, and the undo from the record counts it as
// in place and leaves no store behind.
TEST(JournalTrust, ANetworkItemIsRecordedBeforeTheScriptMovesIt) {
    TestFolder folder(L"N:\\tw-net-ahead");
    writeFile(folder / L"net.txt", "net");
    const std::wstring journal = L"C:\\tw-net-ahead.tmp";
    const std::wstring product = L"{0D0C0000-0000-4000-8000-00000000AE7D}";
    for (const auto& file : {journal, writeAheadFile(journal)}) DeleteFileW(file.c_str());
    {
        CommandScript script;
        UndoTransaction run(&script, nullptr, journal);
        ASSERT_TRUE(run.beginWriteAhead(product));
        ASSERT_TRUE(run.take(folder / L"net.txt"));
        WriteAheadContents contents;
        DWORD error = ERROR_SUCCESS;
        ASSERT_EQ(ReadOutcome::Read, readWriteAhead(writeAheadFile(journal), contents, error));
        EXPECT_EQ(1u, contents.items[L"N:\\"].count(folder / L"net.txt")) << "recorded before the script ran";
        run.keep();  // the run ends here, its script never run
    }
    EXPECT_EQ("net", readFile(folder / L"net.txt"));
    Lines said;
    {
        CommandScript script(&said);
        UndoTransaction undo(&script, &said, journal);
        undo.setOwner(product);
        ASSERT_TRUE(undo.loadJournal());
        EXPECT_TRUE(undo.restoreAll());
        EXPECT_TRUE(script.runInOwnAccount()) << "the item counts as arrived where it is";
    }
    EXPECT_TRUE(said.has(L"its items are read from"));
    EXPECT_EQ("net", readFile(folder / L"net.txt"));
    EXPECT_EQ(std::vector<std::wstring>{L"net.txt"}, listTree(folder.path()));
    EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
    EXPECT_FALSE(exists(journal));
    EXPECT_FALSE(exists(writeAheadFile(journal)));
}
