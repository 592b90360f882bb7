// The process ended (TerminateProcess: no destructor runs, nothing is flushed) at every
// write of the write-ahead record and of the journal, in turn: once before the write, once
// after half of its bytes. The next run (the rollback that Windows Installer starts) then
// finds everything: the data as laid down, no store, journal or record left.
#include <gtest/gtest.h>

#include <iostream>

#include "backup/persistent_data_backup.h"
#include "common/text.h"
#include "msi/action_log.h"
#include "win/fault_seam.h"
#include "child_run.h"
#include "fault_fixture.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

const wchar_t* const kPlanVariable = L"TW_KILL_AT_WRITE";
constexpr DWORD kEndedCode = 9;

void endThisProcess() { ::TerminateProcess(::GetCurrentProcess(), kEndedCode); }

enum class Work { Removal, Backup };

// The work whose writes are counted and cut: the undoable removal, or the backup.
void doWork(Work work, const ActionLog& log) {
    if (work == Work::Removal) {
        removeUndoable(log);
        return;
    }
    PersistentDataBackup backup(log);
    backup.take(backupItems(), L"");
    backup.backUp();
}

// The next run after an ended one: the rollback of the removal, or of the backup.
void nextRun(Work work, const ActionLog& log) {
    if (work == Work::Removal) rollBackRemoval(log);
    else PersistentDataBackup(log).discard();
}

SeamPlan writesOnly() {
    SeamPlan plan;
    plan.onlyOneKind = true;
    plan.kind = SeamCall::Write;
    return plan;
}

}  // namespace

// The child: disabled in the suite; the parent starts this program with the plan
// "<removal|backup>,<write>,<before|half>" and asks for it by name.
TEST(KillAtWrite, DISABLED_ChildWorksUntilEnded) {
    wchar_t text[64];
    const DWORD length = ::GetEnvironmentVariableW(kPlanVariable, text, 64);
    if (length == 0 || length >= 64) GTEST_SKIP() << "runs inside KillAtWrite.*";
    const std::wstring plan(text, length);
    const size_t first = plan.find(L','), second = plan.find(L',', first + 1);
    ASSERT_NE(std::wstring::npos, second);
    SeamPlan seam = writesOnly();
    seam.position = std::stoll(plan.substr(first + 1, second - first - 1));
    seam.fault = plan.substr(second + 1) == L"half" ? SeamFault::ShortWrite : SeamFault::DiskFull;
    seam.then = endThisProcess;
    const ActionLog log(0, L"child");
    armFaultSeam(seam);
    doWork(plan.substr(0, first) == L"backup" ? Work::Backup : Work::Removal, log);
}

TEST(KillAtWrite, TheNextRunFindsEverythingAfterAnEndAtEveryWrite) {
    const struct {
        Work work;
        const wchar_t* name;
    } works[] = {{Work::Removal, L"removal"}, {Work::Backup, L"backup"}};
    for (const auto& work : works) {
        SCOPED_TRACE(toUtf8(work.name));
        // The writes of a whole run, counted in this process.
        layDownFaultWorld();
        armFaultSeam(writesOnly());
        doWork(work.work, ActionLog(0, L"count"));
        const long long writes = seamCallsCounted();
        disarmFaultSeam();
        clearFaultWorld();
        ASSERT_GT(writes, 0);
        std::cout << "[ kill at write ] " << toUtf8(work.name) << ": " << writes << " writes, " << writes * 2
                  << " ended runs" << std::endl;
        for (long long position = 1; position <= writes; ++position)
            for (const wchar_t* when : {L"before", L"half"}) {
                SCOPED_TRACE("write " + std::to_string(position) + ", " + toUtf8(when));
                layDownFaultWorld();
                const std::wstring plan = concat({work.name, L",", toDecimal(position), L",", when});
                ASSERT_EQ(kEndedCode, runChildToItsEnd(L"KillAtWrite", L"ChildWorksUntilEnded", kPlanVariable, plan))
                    << "the child was ended at the write";
                Lines said;
                nextRun(work.work, ActionLog(0, L"next", &said));
                std::string log;
                for (const auto& line : said.lines) log += "\n  " + toUtf8(line);
                EXPECT_EQ(std::vector<std::string>{}, dataMismatches()) << log;
                EXPECT_EQ(std::vector<std::string>{}, leftBehind()) << log;
            }
    }
    clearFaultWorld();
}
