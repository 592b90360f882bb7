// A link on the way to an item (at its parent, its grandparent, or the top folder of the
// row), standing from the start or swapped in after the first step, for every operation
// that SYSTEM carries out in folders users can write. Made in a folder that every account
// can write, any user could have made it: the link's target is untouched and the log names
// the link. Made in a folder that only trusted accounts can write (an administrator who
// relocated a folder), it is followed, and the row acts in the link's target.
#include <gtest/gtest.h>

#include <functional>

#include "common/text.h"
#include "move_files/file_stamp.h"
#include "move_files/move_executor.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "remove_files/removal_worker.h"
#include "undo/undo_transaction.h"
#include "log_lines.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

const std::wstring F(1, kFieldSeparator);
const std::wstring kCases = L"C:\\tw-door", kVictims = L"C:\\tw-door-victim", kOtherVolume = L"D:\\tw-door";

enum class Level { Parent, Grandparent, Top };
enum class When { Standing, SwappedIn };
enum class Operation {
    PermanentRemoval,
    RemovalThenCommit,
    RemovalThenRollback,
    BackupThenRestore,
    MoveSource,
    MoveIntoPlantedFolder,
    CopyThenUndo,
    CrossVolumeMoveThenRollback,
};

const char* name(Operation operation) {
    switch (operation) {
    case Operation::PermanentRemoval: return "permanent removal";
    case Operation::RemovalThenCommit: return "undoable removal, then commit";
    case Operation::RemovalThenRollback: return "undoable removal, then rollback";
    case Operation::BackupThenRestore: return "backup, then restore";
    case Operation::MoveSource: return "a move's source";
    case Operation::MoveIntoPlantedFolder: return "a move into a folder planted at the destination";
    case Operation::CopyThenUndo: return "a copy, then its undo";
    case Operation::CrossVolumeMoveThenRollback: return "a move to another volume, then its rollback";
    }
    return "?";
}

// One case's folders: <case>\base\Vendor\Logs holds the item; the victim has the same
// shape below <victim>, so that a path followed through a link lands on its twin.
struct Paths {
    std::wstring root, base, logs, item, victim, victimItem, other;
    explicit Paths(int n) {
        root = concat({kCases, L"\\c", toDecimal(n)});
        base = root + L"\\base";
        logs = base + L"\\Vendor\\Logs";
        item = logs + L"\\a.dll";
        victim = concat({kVictims, L"\\c", toDecimal(n)});
        victimItem = victim + L"\\Vendor\\Logs\\a.dll";
        other = concat({kOtherVolume, L"\\c", toDecimal(n)});
    }
    // The link for the level, and its target.
    PlannedLink link(Level level, LinkFolder folder) const {
        switch (level) {
        case Level::Parent: return {logs, victim + L"\\Vendor\\Logs", folder};
        case Level::Grandparent: return {base + L"\\Vendor", victim + L"\\Vendor", folder};
        case Level::Top: break;
        }
        return {base, victim, folder};
    }
};

// The file's last-write time set to a fixed moment, so that two files can share a stamp.
void stampFile(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    FILETIME time{0x12345678, 0x01D00000};
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

ActionData removalOf(const Paths& paths) {
    ActionData data(L"logs" + F + L"c" + F + L"*.dll" + F + paths.logs + F + L"1" + F + F + F + L"0");
    data.parse();
    return data;
}

ActionData movesOf(const std::vector<MoveOperation>& operations) {
    ActionData data(writeMoveWorkList(operations));
    data.parse();
    return data;
}

// The two steps of an operation; the second may be empty. Each case keeps its state here.
struct CaseRun {
    Paths paths;
    std::wstring journal;
    MoveOperation move;
    explicit CaseRun(int n) : paths(n), journal(concat({kCases, L"\\c", toDecimal(n), L".journal"})) {}
};

void firstStep(Operation operation, CaseRun& run, const ActionLog& log) {
    const Paths& p = run.paths;
    switch (operation) {
    case Operation::PermanentRemoval: {
        RemovalWorker worker(log);
        worker.load(removalOf(p));
        worker.run(nullptr);
        break;
    }
    case Operation::RemovalThenCommit:
    case Operation::RemovalThenRollback: {
        UndoTransaction transaction(nullptr, &log, run.journal);
        if (!transaction.beginWriteAhead(L"{DOOR}")) return;
        RemovalWorker worker(log);
        worker.load(removalOf(p));
        worker.run(&transaction);
        transaction.saveJournal();
        transaction.keep();
        break;
    }
    case Operation::BackupThenRestore: {
        UndoTransaction transaction(nullptr, &log, run.journal);
        transaction.keepCopy(p.item);
        transaction.saveJournal();
        transaction.keep();
        break;
    }
    case Operation::MoveSource:
    case Operation::MoveIntoPlantedFolder:
    case Operation::CopyThenUndo:
    case Operation::CrossVolumeMoveThenRollback: {
        MoveExecutor executor(log);
        executor.load(movesOf({run.move}));
        executor.run();
        break;
    }
    }
}

void secondStep(Operation operation, CaseRun& run, const ActionLog& log) {
    switch (operation) {
    case Operation::RemovalThenCommit:
    case Operation::RemovalThenRollback:
    case Operation::BackupThenRestore: {
        UndoTransaction transaction(nullptr, &log, run.journal);
        if (operation == Operation::BackupThenRestore) transaction.setRestoreTarget(RestoreTarget::Replace);
        else transaction.setOwner(L"{DOOR}");
        if (!transaction.loadJournal()) return;
        if (operation != Operation::RemovalThenCommit) transaction.restoreAll();
        break;
    }
    case Operation::CopyThenUndo:
    case Operation::CrossVolumeMoveThenRollback: {
        MoveExecutor executor(log);
        executor.load(movesOf({run.move}));
        executor.undo();
        break;
    }
    default:
        break;
    }
}

// Lays the case down: the item (or, for moves and copies, their source) and the victim.
void layDown(Operation operation, CaseRun& run) {
    const Paths& p = run.paths;
    if (operation != Operation::MoveIntoPlantedFolder) writeFile(p.victimItem, "victim");
    makeFolder(p.logs);
    const std::wstring source = operation == Operation::CrossVolumeMoveThenRollback ? p.other + L"\\a.dll" : p.root + L"\\src\\a.dll";
    switch (operation) {
    case Operation::MoveSource:
        writeFile(p.item, "victim");  // the twin of the victim's file, as the planner saw it
        run.move = {p.item, p.root + L"\\moved\\a.dll", kMoveFile, p.root, {}};
        if (const auto identity = fileIdentityOf(p.item)) run.move.identity = identityText(*identity);
        break;
    case Operation::MoveIntoPlantedFolder:
        // The planner saw no folder at the destination; one stands there by the time the
        // move runs, and the victim has its twin.
        writeFile(source, "source");
        makeFolder(p.logs + L"\\a.dll");
        makeFolder(p.victim + L"\\Vendor\\Logs\\a.dll");
        run.move = {source, p.item, kMoveFile, p.logs, {}};
        if (const auto identity = fileIdentityOf(source)) run.move.identity = identityText(*identity);
        break;
    case Operation::CopyThenUndo:
    case Operation::CrossVolumeMoveThenRollback:
        // The victim's file has the source's size and time: only its identity tells them apart.
        writeFile(source, "victim");
        stampFile(source);
        stampFile(p.victimItem);
        run.move = {source, p.item, operation == Operation::CopyThenUndo ? kCopyFile : kMoveFile, p.logs, {}};
        if (const auto identity = fileIdentityOf(source)) run.move.identity = identityText(*identity);
        break;
    default:
        writeFile(p.item, "real");
        break;
    }
}

std::vector<std::wstring> victimShape(Operation operation) {
    if (operation == Operation::MoveIntoPlantedFolder) return {L"Vendor\\", L"Vendor\\Logs\\", L"Vendor\\Logs\\a.dll\\"};
    return {L"Vendor\\", L"Vendor\\Logs\\", L"Vendor\\Logs\\a.dll"};
}

void clearAll() {
    for (const auto& folder : {kCases, kVictims, kOtherVolume}) removeUnixTree(folder);
    for (const auto& bin : recycleBins()) removeUnixTree(bin);
}

}  // namespace

TEST(LinkOnTheWay, ALinkAnyUserCouldHaveMadeIsNeverFollowed) {
    clearAll();
    const Operation operations[] = {Operation::PermanentRemoval,    Operation::RemovalThenCommit,
                                    Operation::RemovalThenRollback, Operation::BackupThenRestore,
                                    Operation::MoveSource,          Operation::MoveIntoPlantedFolder,
                                    Operation::CopyThenUndo,        Operation::CrossVolumeMoveThenRollback};
    struct Case {
        Operation operation;
        Level level;
        When when;
    };
    std::vector<Case> cases;
    for (const Operation operation : operations)
        for (const Level level : {Level::Parent, Level::Grandparent, Level::Top})
            for (const When when : {When::Standing, When::SwappedIn}) cases.push_back({operation, level, when});

    std::vector<CaseRun> runs;
    std::vector<Lines> logs(cases.size());
    for (size_t n = 0; n < cases.size(); ++n) {
        runs.emplace_back(static_cast<int>(n));
        layDown(cases[n].operation, runs[n]);
    }
    // The links that stand from the start, then every first step, then the links swapped
    // in after it, then every second step: two Unix commands for all the cases.
    const auto linksFor = [&](When when) {
        std::vector<PlannedLink> links;
        for (size_t n = 0; n < cases.size(); ++n)
            if (cases[n].when == when) links.push_back(runs[n].paths.link(cases[n].level, LinkFolder::EveryoneWrites));
        return links;
    };
    ASSERT_TRUE(makeUnixLinks(linksFor(When::Standing)));
    for (size_t n = 0; n < cases.size(); ++n) firstStep(cases[n].operation, runs[n], ActionLog(0, L"door", &logs[n]));
    ASSERT_TRUE(makeUnixLinks(linksFor(When::SwappedIn)));
    for (size_t n = 0; n < cases.size(); ++n) secondStep(cases[n].operation, runs[n], ActionLog(0, L"door", &logs[n]));

    for (size_t n = 0; n < cases.size(); ++n) {
        const Case& c = cases[n];
        const Paths& p = runs[n].paths;
        const char* level = c.level == Level::Parent ? "parent" : c.level == Level::Grandparent ? "grandparent" : "top folder";
        SCOPED_TRACE(std::string(name(c.operation)) + ", a link at the item's " + level +
                     (c.when == When::Standing ? ", standing from the start" : ", swapped in after the first step"));
        EXPECT_EQ(victimShape(c.operation), listTree(p.victim)) << "nothing landed in the link's target";
        if (c.operation != Operation::MoveIntoPlantedFolder) {
            EXPECT_EQ("victim", readFile(p.victimItem));
        }
        // Where the first step ran before the link was there, nothing of the link's doing
        // may show up; where a step met the link, the log names it.
        const std::wstring link = p.link(c.level, LinkFolder::EveryoneWrites).link;
        bool named = false;
        for (const auto& line : logs[n].lines)
            named = named || (line.find(link) != std::wstring::npos && line.find(L"is a link") != std::wstring::npos);
        const bool metTheLink = c.when == When::Standing || (c.operation != Operation::PermanentRemoval &&
                                                              c.operation != Operation::MoveSource &&
                                                              c.operation != Operation::MoveIntoPlantedFolder &&
                                                              c.operation != Operation::RemovalThenCommit);
        if (metTheLink) {
            EXPECT_TRUE(named) << "the log names the link " << toUtf8(link);
        }
        if (HasFailure()) {
            std::string said;
            for (const auto& line : logs[n].lines) said += "\n  " + toUtf8(line);
            ADD_FAILURE() << "the lines:" << said;
            break;
        }
    }
    clearAll();
}

TEST(LinkOnTheWay, AnAdministratorsRelocationIsFollowed) {
    clearAll();
    // The grandparent relocated by a link in a folder that only trusted accounts can write.
    const struct {
        Operation operation;
        std::vector<std::wstring> targetAfter;
    } cases[] = {
        {Operation::PermanentRemoval, {L"Vendor\\", L"Vendor\\Logs\\"}},
        {Operation::RemovalThenRollback, {L"Vendor\\", L"Vendor\\Logs\\", L"Vendor\\Logs\\a.dll"}},
        {Operation::BackupThenRestore, {L"Vendor\\", L"Vendor\\Logs\\", L"Vendor\\Logs\\a.dll"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(name(c.operation));
        CaseRun run(100 + n++);
        const Paths& p = run.paths;
        // The relocated data lives in the target; the path of the row reaches it through the link.
        writeFile(p.victimItem, "real");
        makeFolder(p.base);
        ASSERT_TRUE(makeUnixLinks({p.link(Level::Grandparent, LinkFolder::AsItIs)}));
        Lines said;
        const ActionLog log(0, L"door", &said);
        firstStep(c.operation, run, log);
        if (c.operation == Operation::BackupThenRestore) writeFile(p.victimItem, "changed since");
        secondStep(c.operation, run, log);
        EXPECT_EQ(c.targetAfter, listTree(p.victim)) << "the row acted in the link's target";
        if (c.targetAfter.size() == 3) {
            EXPECT_EQ("real", readFile(p.victimItem));
        }
        EXPECT_FALSE(said.has(L"is a link"));
        if (HasFailure()) {
            for (const auto& line : said.lines) ADD_FAILURE() << toUtf8(line);
            break;
        }
    }
    clearAll();
}
