// Every file-system and registry call of a real run is made to fail, once, in turn: each
// scenario runs once to count its calls, then once for each position with a failure
// there (each of the four errors, and a short write at each write). After each run:
//   nothing lost: every original file and value is in place, or the next run (the same
//     undo, restore, discard or commit once more) puts it back or finishes it;
//   every log line true: nothing is said removed, restored, moved or copied that is not;
//   nothing left behind: once the next run is done, no store, journal, write-ahead
//     record or backup file is left.
// The scenarios run in-process, below the exports, on the real file system and registry.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>

#include "backup/persistent_data_backup.h"
#include "common/text.h"
#include "move_files/move_executor.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "remove_files/removal_worker.h"
#include "remove_registry/registry_remover.h"
#include "undo/journal_file.h"
#include "undo/undo_transaction.h"
#include "win/fault_seam.h"
#include "win/paths.h"
#include "fault_fixture.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

const std::wstring F(1, kFieldSeparator), R(1, kRecordSeparator), G(1, kGroupSeparator);

bool registryKeyThere(const std::wstring& path) {
    for (const std::wstring prefix : {L"HKEY_CURRENT_USER\\", L"HKCU\\"})
        if (path.rfind(prefix, 0) == 0) return regKeyExists(HKEY_CURRENT_USER, path.substr(prefix.size()));
    return false;
}

// The text between the first pair of quotes after the start.
std::wstring quotedAt(const std::wstring& line, size_t from) {
    const size_t open = line.find(L'\'', from);
    const size_t close = open == std::wstring::npos ? open : line.find(L'\'', open + 1);
    return close == std::wstring::npos ? std::wstring() : line.substr(open + 1, close - open - 1);
}

std::wstring withoutViewNote(std::wstring path) {
    const size_t note = path.find(L" (");
    return note == std::wstring::npos ? path : path.substr(0, note);
}

// The lines that claim a result, each checked against the disk and registry now.
std::vector<std::string> falseClaims(const std::vector<std::wstring>& lines) {
    std::vector<std::string> wrong;
    const auto claim = [&](bool holds, const std::wstring& line) {
        if (!holds) wrong.push_back(toUtf8(line));
    };
    for (const auto& line : lines) {
        size_t at;
        if (line.rfind(L"row ", 0) == 0 && (at = line.find(L": removed ")) != std::wstring::npos) {
            std::wstring path = line.substr(at + 10);
            for (const std::wstring prefix : {L"empty folder ", L"folder "})
                if (path.rfind(prefix, 0) == 0) path = path.substr(prefix.size());
            const size_t content = path.find(L" with its content");
            if (content != std::wstring::npos) path.resize(content);
            claim(!exists(path), line);
        } else if (line.rfind(L"removed key ", 0) == 0) {
            claim(!registryKeyThere(withoutViewNote(line.substr(12))), line);
        } else if (line.rfind(L"restored ", 0) == 0) {
            const std::wstring path = withoutViewNote(line.substr(9));
            claim(path.rfind(L"HKEY_", 0) == 0 ? registryKeyThere(path) : exists(path), line);
        } else if (line.rfind(L"moved '", 0) == 0 && line.find(L"' back to '") != std::wstring::npos) {
            const std::wstring from = quotedAt(line, 0);
            const std::wstring to = quotedAt(line, line.find(L" back to ") + 8);
            claim(!exists(from) && exists(to), line);
        } else if (line.rfind(L"moved '", 0) == 0 || line.rfind(L"copied '", 0) == 0) {
            const std::wstring from = quotedAt(line, 0);
            const std::wstring to = quotedAt(line, line.find(L"' to '") + 4);
            claim(exists(to) && (line[0] == L'c' || !exists(from)), line);
        } else if (line.rfind(L"deleted the copy '", 0) == 0) {
            claim(!exists(quotedAt(line, 0)), line);
        } else if (line.rfind(L"backup file ", 0) == 0 && (at = line.find(L" written: ")) != std::wstring::npos) {
            claim(exists(line.substr(12, at - 12)), line);
        }
    }
    return wrong;
}

void commitRemoval(const ActionLog& log) {
    UndoTransaction transaction(nullptr, &log, kFaultJournal);
    transaction.setOwner(kFaultOwner);
    transaction.loadJournal();
}

void removePermanently(const ActionLog& log) {
    RemovalWorker worker(log);
    worker.load(removalList());
    worker.run(nullptr);
}

// The backup, then what the upgrade does when it succeeded: the old version takes the data.
bool backUpThenLoseTheData(const ActionLog& log) {
    PersistentDataBackup backup(log);
    backup.take(backupItems(), L"");
    if (!backup.backUp()) return false;
    removeTree(kFaultRoot + L"\\tree");
    DeleteFileW((kFaultRoot + L"\\files\\a.dat").c_str());
    regDeleteTree(HKEY_CURRENT_USER, kFaultRegistry + L"\\key");
    return true;
}

std::vector<MoveOperation> moves() {
    return {{kFaultRoot + L"\\files\\a.dat", kFaultDestination + L"\\sub\\a.dat", kMoveFile, L"C:\\", {}},
            {kFaultRoot + L"\\tree\\nested\\" + kLongName, kFaultDestination + L"\\" + kLongName, kMoveFile, L"C:\\", {}},
            {kFaultRoot + L"\\tree\\top.txt", kFaultDestination + L"\\sub\\top.txt", kCopyFile, L"C:\\", {}}};
}

void runMoves(const ActionLog& log, void (MoveExecutor::*step)()) {
    ActionData data(writeMoveWorkList(moves()));
    data.parse();
    MoveExecutor executor(log);
    executor.load(data);
    (executor.*step)();
}

void removeRegistry(const ActionLog& log) {
    const auto record = [](const std::wstring& id, const std::wstring& key, const std::wstring& name) {
        return id + F + L"1" + F + key + F + name + F + L"Main" + F + id + F + L"1" + F + F + L"0";
    };
    ActionData data(record(L"k", kFaultRegistry + L"\\key", L"-") + R + record(L"v", kFaultRegistry + L"\\other", L"value") +
                    G + L"ALLUSERS" + F + L"");
    data.parse();
    RegistryRemover remover(log);
    remover.load(data);
    remover.run();
}

// A scenario: its steps (the run that the failure hits), and the next run.
// AsLaidDown: the data as it was. RemovedWhereSaid: only what the log says removed is
// gone. RemovedWhereAsked: a permanent removal, which may also have deleted part of a
// tree that it says it could not remove.
enum class Ending { AsLaidDown, RemovedWhereSaid, RemovedWhereAsked };
struct Scenario {
    const char* name;
    std::vector<std::function<bool(const ActionLog&)>> steps;  // a step that returns false ends the run
    std::function<void(const ActionLog&)> nextRun;
    Ending ending;
};

template <typename Action>
std::function<bool(const ActionLog&)> step(Action action) {
    return [action](const ActionLog& log) {
        action(log);
        return true;
    };
}

const std::vector<Scenario>& scenarios() {
    static const std::vector<Scenario> all{
        {"undoable removal, then rollback", {step(removeUndoable), step(rollBackRemoval)}, rollBackRemoval,
         Ending::AsLaidDown},
        {"undoable removal, then commit", {step(removeUndoable), step(commitRemoval)}, commitRemoval,
         Ending::RemovedWhereSaid},
        {"permanent removal", {step(removePermanently)}, nullptr, Ending::RemovedWhereAsked},
        {"backup, then restore",
         {backUpThenLoseTheData, step([](const ActionLog& log) { PersistentDataBackup(log).restore(); })},
         [](const ActionLog& log) { PersistentDataBackup(log).restore(); }, Ending::AsLaidDown},
        {"backup, then discard",
         {step([](const ActionLog& log) {
              PersistentDataBackup backup(log);
              backup.take(backupItems(), L"");
              backup.backUp();
          }),
          step([](const ActionLog& log) { PersistentDataBackup(log).discard(); })},
         [](const ActionLog& log) { PersistentDataBackup(log).discard(); }, Ending::AsLaidDown},
        {"move and copy, then rollback",
         {step([](const ActionLog& log) { runMoves(log, &MoveExecutor::run); }),
          step([](const ActionLog& log) { runMoves(log, &MoveExecutor::undo); })},
         [](const ActionLog& log) { runMoves(log, &MoveExecutor::undo); }, Ending::AsLaidDown},
        {"registry removal at commit", {step(removeRegistry)}, nullptr, Ending::RemovedWhereSaid},
        {"undoable removal ended before its journal, then rollback",
         {step(removeUndoableEndingBeforeTheJournal), step(rollBackRemoval)}, rollBackRemoval, Ending::AsLaidDown},
    };
    return all;
}

// Files said removed may be gone; every other file must be as laid down.
std::vector<std::string> lostFiles(const std::vector<std::wstring>& lines, Ending ending) {
    std::vector<std::string> lost;
    for (const auto& [name, content] : originalFiles()) {
        const std::wstring path = kFaultRoot + L"\\" + name;
        bool saidRemoved = false;
        for (const auto& line : lines) {
            size_t at = line.find(L": removed ");
            size_t length = 10;
            if (at == std::wstring::npos && ending == Ending::RemovedWhereAsked) {
                at = line.find(L": could not remove ");
                length = 19;
            }
            if (line.rfind(L"row ", 0) != 0 || at == std::wstring::npos) continue;
            std::wstring removed = line.substr(at + length);
            if (removed.rfind(L"folder ", 0) == 0) removed = removed.substr(7);
            for (const std::wstring tail : {L" with its content", L" ("}) {
                const size_t cut = removed.find(tail);
                if (cut != std::wstring::npos) removed.resize(cut);
            }
            saidRemoved = saidRemoved || path == removed || path.rfind(removed + L"\\", 0) == 0;
        }
        if (saidRemoved) continue;
        if (!exists(path)) lost.push_back("missing " + toUtf8(name));
        else if (readFile(path) != content) lost.push_back("changed " + toUtf8(name));
    }
    return lost;
}

const char* callName(SeamCall call) {
    switch (call) {
    case SeamCall::Open: return "open";
    case SeamCall::Create: return "create";
    case SeamCall::Write: return "write";
    case SeamCall::Read: return "read";
    case SeamCall::Rename: return "rename";
    case SeamCall::Delete: return "delete";
    case SeamCall::Copy: return "copy";
    case SeamCall::List: return "list";
    case SeamCall::Attributes: return "attributes";
    case SeamCall::Registry: return "registry";
    }
    return "?";
}

// One run with the plan armed, then the next run; the failures it shows.
// armAtStep: the step from which the plan counts (the steps before run without it).
std::vector<std::string> runTrial(const Scenario& scenario, const SeamPlan& plan, long long* counted = nullptr,
                                  std::vector<std::wstring>* allLines = nullptr, size_t armAtStep = 0) {
    layDownFaultWorld();
    Lines recorded;
    const ActionLog log(0, L"faults", &recorded);
    std::vector<std::string> failures;
    std::vector<std::wstring> said;
    disarmFaultSeam();
    for (size_t index = 0; index < scenario.steps.size(); ++index) {
        const auto& run = scenario.steps[index];
        if (index == armAtStep) armFaultSeam(plan);
        const size_t first = recorded.lines.size();
        const bool goOn = run(log);
        const std::vector<std::wstring> lines(recorded.lines.begin() + first, recorded.lines.end());
        // The checks use the tests' own file and registry calls: the seam does not count them.
        for (const auto& wrong : falseClaims(lines)) failures.push_back("false line: " + wrong);
        if (!goOn) break;
    }
    if (counted) *counted = seamCallsCounted();
    const bool failed = seamFailuresMade() > 0;
    const SeamCall failedCall = seamLastFailedCall();
    disarmFaultSeam();
    said = recorded.lines;
    if (scenario.nextRun) {
        const size_t first = recorded.lines.size();
        scenario.nextRun(log);
        const std::vector<std::wstring> lines(recorded.lines.begin() + first, recorded.lines.end());
        for (const auto& wrong : falseClaims(lines)) failures.push_back("false line in the next run: " + wrong);
    }
    const auto lost = scenario.ending == Ending::AsLaidDown ? dataMismatches() : lostFiles(said, scenario.ending);
    for (const auto& item : lost) failures.push_back("lost: " + item);
    for (const auto& item : leftBehind()) failures.push_back("left behind: " + item);
    if (allLines) *allLines = recorded.lines;
    if (!failures.empty())
        failures.insert(failures.begin(), failed ? std::string("the call that failed: ") + callName(failedCall)
                                                 : std::string("no call failed"));
    return failures;
}

const char* faultName(SeamFault fault) {
    switch (fault) {
    case SeamFault::DiskFull: return "disk full";
    case SeamFault::AccessDenied: return "access denied";
    case SeamFault::SharingViolation: return "sharing violation";
    case SeamFault::PathNotFound: return "path not found";
    case SeamFault::ShortWrite: return "short write";
    }
    return "?";
}

}  // namespace

std::string describe(const std::vector<std::string>& failures, const std::vector<std::wstring>& log) {
    std::string text;
    for (const auto& failure : failures) text += "\n  " + failure;
    text += "\n  the log:";
    for (const auto& line : log) text += "\n    " + toUtf8(line);
    return text;
}

// The tests' names, one per scenario, in the order of scenarios().
const char* const kScenarioTests[] = {"UndoableRemovalThenRollback", "UndoableRemovalThenCommit", "PermanentRemoval",
                                      "BackupThenRestore",           "BackupThenDiscard",         "MoveAndCopyThenRollback",
                                      "RegistryRemovalAtCommit",     "UndoableRemovalEndedBeforeItsJournalThenRollback"};

class FaultTable : public testing::TestWithParam<size_t> {};

TEST_P(FaultTable, EveryCallFailsInTurnAndNothingIsLost) {
    const SeamFault errors[] = {SeamFault::DiskFull, SeamFault::AccessDenied, SeamFault::SharingViolation,
                                SeamFault::PathNotFound};
    ASSERT_EQ(std::size(kScenarioTests), scenarios().size());
    const Scenario& scenario = scenarios().at(GetParam());
    {
        SCOPED_TRACE(scenario.name);
        const auto started = std::chrono::steady_clock::now();
        long long calls = 0, writes = 0;
        ASSERT_EQ(std::vector<std::string>{}, runTrial(scenario, SeamPlan{}, &calls)) << "without a failure";
        SeamPlan writesOnly;
        writesOnly.onlyOneKind = true;
        writesOnly.kind = SeamCall::Write;
        runTrial(scenario, writesOnly, &writes);
        ASSERT_GT(calls, 0);
        int reported = 0;
        long long tried = 0;
        const auto tryPlan = [&](const SeamPlan& plan) {
            ++tried;
            std::vector<std::wstring> log;
            const auto failures = runTrial(scenario, plan, nullptr, &log);
            if (failures.empty() || ++reported > 8) return;
            std::string text;
            for (const auto& failure : failures) text += "\n  " + failure;
            // The first ones with the log of the run and of the next run.
            if (reported <= 8) {
                text += "\n  the log:";
                for (const auto& line : log) text += "\n    " + toUtf8(line);
            }
            ADD_FAILURE() << "call " << plan.position << " failing with " << faultName(plan.fault) << ":" << text;
        };
        for (long long position = 1; position <= calls; ++position)
            for (const SeamFault error : errors) {
                SeamPlan plan;
                plan.position = position;
                plan.fault = error;
                tryPlan(plan);
            }
        for (long long position = 1; position <= writes; ++position) {
            SeamPlan plan = writesOnly;
            plan.position = position;
            plan.fault = SeamFault::ShortWrite;
            tryPlan(plan);
        }
        const auto seconds =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count() /
            1000.0;
        std::cout << "[ fault table ] " << scenario.name << ": " << calls << " calls, " << writes << " writes, "
                  << tried << " positions tried, " << seconds << " s" << std::endl;
    }
    clearFaultWorld();
}

// One test per scenario, named after it.
INSTANTIATE_TEST_SUITE_P(Scenarios, FaultTable, testing::Range<size_t>(0, std::size(kScenarioTests)),
                         [](const testing::TestParamInfo<size_t>& info) { return std::string(kScenarioTests[info.param]); });

// The last step of a scenario (the rollback, commit, restore or discard) meets a failing
// call, and from there on the disk is full: what it could not put back or delete cannot be
// written into the leftover file either. The journal and its record must then stay, and
// the next run finish the work.
class FaultThenFullDisk : public testing::TestWithParam<size_t> {};

TEST_P(FaultThenFullDisk, NothingIsStrandedWhenTheLeftoverCannotBeWritten) {
    // The disk filling up, and a path that vanished (which must not pass for an item put
    // back or deleted): every position of the last step fails with each.
    const SeamFault errors[] = {SeamFault::DiskFull, SeamFault::PathNotFound};
    const Scenario& scenario = scenarios().at(GetParam());
    ASSERT_GE(scenario.steps.size(), 2u);
    SCOPED_TRACE(scenario.name);
    const size_t last = scenario.steps.size() - 1;
    long long calls = 0;
    ASSERT_EQ(std::vector<std::string>{}, runTrial(scenario, SeamPlan{}, &calls, nullptr, last)) << "without a failure";
    ASSERT_GT(calls, 0);
    int reported = 0;
    for (long long position = 1; position <= calls; ++position)
        for (const SeamFault error : errors) {
            SeamPlan plan;
            plan.position = position;
            plan.fault = error;
            plan.diskFullAfter = true;
            std::vector<std::wstring> log;
            const auto failures = runTrial(scenario, plan, nullptr, &log, last);
            if (failures.empty() || ++reported > 8) continue;
            ADD_FAILURE() << "call " << position << " of the last step failing with " << faultName(error)
                          << ", then a full disk:" << describe(failures, log);
        }
    std::cout << "[ fault table ] " << scenario.name << ", last step then a full disk: " << calls << " calls, "
              << calls * std::size(errors) << " positions tried" << std::endl;
    clearFaultWorld();
}

// The scenarios whose last step takes up what the first one left.
INSTANTIATE_TEST_SUITE_P(Scenarios, FaultThenFullDisk, testing::Values<size_t>(0, 1, 3, 4, 5, 7),
                         [](const testing::TestParamInfo<size_t>& info) { return std::string(kScenarioTests[info.param]); });
