// A journal that cannot serve (held open by another program before the removal wrote it,
// written only in part, given a second name by a hard link) gives way to the write-ahead
// record of the same installation: the rollback still puts everything back.
#include <gtest/gtest.h>

#include <functional>

#include "common/text.h"
#include "common/unique_any.h"
#include "msi/action_log.h"
#include "undo/write_ahead_log.h"
#include "fault_fixture.h"
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
