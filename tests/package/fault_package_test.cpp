// Failing calls inside real installations, through the tests' build of the library
// (TidewellFaults.dll, armed by TIDEWELL_TEST_FAULT): for each kind of fault of the unit
// tests' fault table (a full disk, access denied, a sharing violation, a path not found, a
// short write, and a full disk after a failing call) and each feature's step that can meet
// one, the installation goes on or rolls back as it would, nothing is lost, no line says
// done what is not, and what the fault leaves in the stores is finished by the next run.
// The backup's own full-drive case is the upgrade in major_upgrade_test.cpp; every call of
// every scenario fails in turn in the unit tests' fault table.
#include <gtest/gtest.h>
#include <msidefs.h>

#include <algorithm>

#include "common/text.h"
#include "undo/undo_transaction.h"
#include "backup_file.h"
#include "package.h"
#include "probe.h"
#include "scoped_variable.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

const wchar_t* const kFileNames[] = {L"a.log", L"b.log", L"c.log"};

// The library's lines of a run, for the failure messages.
std::string libraryLines(const RunResult& result) {
    std::string said;
    for (size_t at = result.log.find(L"OnVu"); at != std::wstring::npos; at = result.log.find(L"OnVu", at + 1))
        said += "\n  " + toUtf8(result.log.substr(at, result.log.find(L'\n', at) - at));
    return said;
}

// A line of a case with its placeholders filled in: <journal> is the installation's journal
// (its leftover file is <journal>.leftover), <backup> the product's backup file.
std::wstring filled(std::wstring line, const Package& package) {
    const std::pair<std::wstring, std::wstring> values[] = {{L"<journal>", journalPath(package.productCode())},
                                                            {L"<backup>", backupFilePath(package.productCode())}};
    for (const auto& [name, value] : values)
        for (size_t at = line.find(name); at != std::wstring::npos; at = line.find(name, at + value.size()))
            line.replace(at, name.size(), value);
    return line;
}

void expectLines(const RunResult& result, const Package& package, const std::vector<std::wstring>& logged,
                 const std::vector<std::wstring>& notLogged) {
    for (const auto& line : logged) EXPECT_TRUE(result.logHas(filled(line, package))) << toUtf8(filled(line, package));
    for (const auto& line : notLogged)
        EXPECT_FALSE(result.logHas(filled(line, package))) << "a false line: " << toUtf8(filled(line, package));
}

// Each line that says an item is in place, checked against the disk.
void expectInPlaceWhereSaid(const RunResult& result) {
    const std::wstring claim = L" was never moved: it is in place";
    for (size_t end = result.log.find(claim); end != std::wstring::npos; end = result.log.find(claim, end + 1)) {
        const size_t start = result.log.rfind(L": ", end) + 2;
        const std::wstring path = result.log.substr(start, end - start);
        EXPECT_TRUE(exists(path)) << "a false line: " << toUtf8(path + claim);
    }
}

// The file of that name and content in a VU_RecycleBin store, if one holds it.
bool heldInAStore(const std::wstring& name, const std::string& content) {
    for (const auto& bin : recycleBins())
        for (const auto& entry : listTree(bin)) {
            const bool sameLeaf = entry.size() > name.size() && entry[entry.size() - name.size() - 1] == L'\\' &&
                                  entry.compare(entry.size() - name.size(), name.size(), name) == 0;
            if (sameLeaf && readFile(bin + L"\\" + entry) == content) return true;
        }
    return false;
}

// The file that arms the fault as the DLL loads, written by a deferred test action once the
// removal has run (RecordData writes C:\tw-probe\deferred-0.bin): the fault then meets the
// commit or the rollback.
const std::wstring kAfterTheRemoval = L"C:\\tw-probe\\deferred-0.bin";

// The next run of the library: another product (another ProductCode) removes a file of its
// own undoably and commits; its removal first takes up every record that earlier runs left.
RunResult anotherProductsRemoval(const std::wstring& folder) {
    writeFile(folder + L"\\mine.log", "mine");
    Package next(L"fault-other");
    next.component(L"Main")
        .property(L"OWN", folder + L"\\")
        .rows(L"RemoveFile", {{L"mine", L"Main", L"mine.log", L"OWN", L"1"}})
        .rows(L"VU_RemoveFile", {{L"mine", L"", L"0"}})
        .withKit()
        .kitSequence(L"VU_UndoRemoveFiles")
        .kitSequence(L"VU_RemoveFilesImmediate");
    const RunResult result = next.install();
    EXPECT_EQ(0u, result.code) << libraryLines(result);
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesUndoable: row mine: removed " + folder + L"\\mine.log"));
    EXPECT_FALSE(exists(folder + L"\\mine.log"));
    return result;
}

const std::wstring kKey = L"Software\\TidewellFaultPackage";

enum class Feature {
    UndoableRemovalRolledBack,
    UndoableRemovalCommitted,
    PermanentRemoval,
    Copy,
    RegistryRemoval,
    BackupDiscarded
};
// Where the fault is armed: in every action of the installation, or only in those after
// the removal (its commit or its rollback).
enum class Armed { Throughout, AfterTheRemoval };

// One installation that meets a fault: the plan for the library's test build, and the
// result and the lines the installation must and must not write.
struct FaultyRun {
    const char* what;
    Feature feature;
    const wchar_t* fault;  // TIDEWELL_TEST_FAULT
    Armed armed;
    UINT code;
    std::vector<std::wstring> logged, notLogged;
};

// The feature's rows and actions, acting on a.log, b.log and c.log of the folder FILES
// (the copy on a.log, into MOVED; the registry removal on kKey\Tree), with the library's
// test build.
void addFeature(Package& package, const FaultyRun& run) {
    switch (run.feature) {
    case Feature::UndoableRemovalRolledBack:
    case Feature::UndoableRemovalCommitted:
    case Feature::PermanentRemoval:
        package.rows(L"RemoveFile", {{L"files", L"Main", L"*.log", L"FILES", L"1"}})
            .rows(L"VU_RemoveFile", {{L"files", L"", L"0"}})
            .withKit()
            .kitSequence(L"VU_UndoRemoveFiles")
            .kitSequence(L"VU_RemoveFilesImmediate");
        if (run.feature == Feature::UndoableRemovalRolledBack) package.failAt(6500);
        break;
    case Feature::Copy:
        package.rows(L"MoveFile", {{L"copy", L"Main", L"a.log", L"", L"FILES", L"MOVED", L"0"}})
            .rows(L"VU_MoveFile", {{L"copy", L"", L"0"}})
            .withKit()
            .sequence(L"VU_MoveFilesImmediate", 1700);
        break;
    case Feature::RegistryRemoval:
        package.rows(L"RemoveRegistry", {{L"tree", L"1", kKey + L"\\Tree", L"-", L"Main"}})
            .rows(L"VU_RemoveRegistry", {{L"tree", L"", L"", L""}})
            .withKit()
            .sequence(L"VU_RemoveRegsImmediate", 1700);
        break;
    case Feature::BackupDiscarded: {
        // Backed up and discarded by the clean-up, both at installation.
        std::vector<Row> rows;
        for (const auto* name : kFileNames) rows.push_back({name, L"0", L"1", L"[FILES]" + std::wstring(name)});
        package.rows(L"VU_PersistentData", rows)
            .withKit()
            .kitSequence(L"VU_BackupImmediate")
            .kitSequence(L"VU_BackupCleanup");
        break;
    }
    }
    // A deferred test action after the removal writes the gate file that arms the fault.
    if (run.armed == Armed::AfterTheRemoval)
        package.testAction(L"TW_Gate", msidbCustomActionTypeDll | msidbCustomActionTypeInScript, L"RecordData")
            .sequence(L"TW_Gate", 6400);
    package.library(L"TidewellFaults.dll");
}

// Installs with the fault armed (rollback disabled for the features that act in their
// deferred action then), and checks what every such installation must show: its result,
// the fault made (the mark file is written then), the lines, and every item said to be in
// place there.
RunResult installMeeting(Package& package, const FaultyRun& run, const std::wstring& mark) {
    DeleteFileW(mark.c_str());
    clearProbe();
    const bool deferred = run.feature == Feature::PermanentRemoval || run.feature == Feature::RegistryRemoval;
    RunResult result;
    {
        const ScopedVariable fault(L"TIDEWELL_TEST_FAULT", run.fault), once(L"TIDEWELL_TEST_FAULT_MARK", mark.c_str());
        const ScopedVariable when(L"TIDEWELL_TEST_FAULT_WHEN",
                                  run.armed == Armed::AfterTheRemoval ? kAfterTheRemoval.c_str() : L"");
        result = package.install(deferred ? L"DISABLEROLLBACK=1" : L"");
    }
    SCOPED_TRACE("the library's lines:" + libraryLines(result));
    EXPECT_EQ(run.code, result.code);
    EXPECT_TRUE(exists(mark)) << "the fault was made";
    expectLines(result, package, run.logged, run.notLogged);
    expectInPlaceWhereSaid(result);
    return result;
}

}  // namespace

// One installation per case, in which the fault is made and settled: what is not done is
// said so, and nothing is left for a later run.
TEST(FaultInInstallation, EachFeatureLosesNothingAndSaysWhatFailed) {
    TestFolder root(L"C:\\tw-fault-package");
    const std::wstring files = root / L"files", moved = root / L"moved";
    struct Case {
        FaultyRun run;
        std::vector<std::wstring> removed = {};  // the files removed for good, each said so
    };
    const Case cases[] = {
        // The write-ahead record's first write (its header) reaches the disk only in part:
        // nothing is removed, and the torn record goes, so that it blocks no later removal.
        {{"undoable removal: a short write of the write-ahead record", Feature::UndoableRemovalCommitted,
          L"write,1,short-write", Armed::Throughout, ERROR_SUCCESS,
          {L"OnVuRemoveFilesUndoable: cannot create the undo record <journal>.ahead (error 112)",
           L"OnVuRemoveFilesUndoable: nothing is removed: without its undo record the removal could not be undone"},
          {L"row files: removed "}}},
        // The commit cannot delete the first item by itself; it goes with its store, and no
        // record is left for a later run.
        {{"commit of an undoable removal: access denied once", Feature::UndoableRemovalCommitted,
          L"delete,1,access-denied", Armed::AfterTheRemoval, ERROR_SUCCESS,
          {L"OnVuRemoveFilesCommit: deleting 3 removed items for good",
           L"OnVuRemoveFilesCommit: could not delete C:\\VU_RecycleBin\\"},
          {L"could not be deleted; the next run takes them up"}},
         {L"a.log", L"b.log", L"c.log"}},
        // The second item cannot go into the store; the installation then rolls back.
        {{"undoable removal, rolled back: a sharing violation", Feature::UndoableRemovalRolledBack,
          L"rename,2,sharing-violation", Armed::Throughout, ERROR_INSTALL_FAILURE,
          {files + L"\\b.log stays in place: it cannot be moved into ",
           L"OnVuUndoRemoveFiles: putting back 2 removed items"},
          {L"row files: removed " + files + L"\\b.log"}}},
        // The journal, written after the three items (the write-ahead record's header, its
        // store and its three items come first), reaches the disk only in part: the
        // rollback reads the items from the write-ahead record.
        {{"undoable removal, rolled back: a short write of the journal", Feature::UndoableRemovalRolledBack,
          L"write,6,short-write", Armed::Throughout, ERROR_INSTALL_FAILURE,
          {L"OnVuRemoveFilesUndoable: row files: removed " + files + L"\\c.log",
           L"OnVuRemoveFilesUndoable: cannot write the journal <journal> (error 112)",
           L"OnVuRemoveFilesUndoable: the removed items stay in the VU_RecycleBin stores; the undo record "
           L"<journal>.ahead names them for the commit or the rollback",
           L"OnVuUndoRemoveFiles: the run that wrote <journal> ended early: its items are read from <journal>.ahead",
           L"OnVuUndoRemoveFiles: putting back 3 removed items"},
          {L"OnVuRemoveFilesUndoable: journal <journal> written"}}},
        // a.log's path is not found as it is opened for deletion (the row's folder and its
        // parent are opened first, to tell the row's item); the row goes on with b.log and
        // c.log.
        {{"permanent removal: a path not found", Feature::PermanentRemoval, L"open,3,path-not-found", Armed::Throughout,
          ERROR_SUCCESS, {L"OnVuRemoveFilesPermanent: row files: could not remove " + files + L"\\a.log (error 3)"},
          {L"row files: removed " + files + L"\\a.log"}},
         {L"b.log", L"c.log"}},
        {{"copy of the move feature: a full disk", Feature::Copy, L"copy,1,disk-full", Armed::Throughout, ERROR_SUCCESS,
          {L"OnVuMoveFilesDeferred: could not copy '" + files + L"\\a.log' to '" + moved + L"\\a.log' (error 112)"},
          {L"OnVuMoveFilesDeferred: copied '"}}},
        {{"registry removal: access denied", Feature::RegistryRemoval, L"registry,1,access-denied,on", Armed::Throughout,
          ERROR_SUCCESS,
          {L"OnVuRemoveRegs: key HKCU\\" + kKey + L"\\Tree\\",
           L" not removed: its parent key does not exist or cannot be opened (error 5)"},
          {L"removed key HKCU\\" + kKey}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.run.what);
        for (const auto* name : kFileNames) writeFile(files + L"\\" + name, toUtf8(name));
        removeTree(moved);
        regSetString(HKEY_CURRENT_USER, kKey + L"\\Tree\\Sub", L"v", L"x");
        Package package(L"fault-package");
        package.component(L"Main").property(L"FILES", files + L"\\").property(L"MOVED", moved + L"\\");
        addFeature(package, c.run);
        const RunResult result = installMeeting(package, c.run, root / L"fault-made");
        SCOPED_TRACE("the library's lines:" + libraryLines(result));
        for (const auto* name : kFileNames) {
            const bool removed = std::find(c.removed.begin(), c.removed.end(), name) != c.removed.end();
            if (!removed) {
                EXPECT_EQ(toUtf8(name), readFile(files + L"\\" + name));
            } else {
                EXPECT_FALSE(exists(files + L"\\" + name)) << toUtf8(name);
                EXPECT_TRUE(result.logHas(L"row files: removed " + files + L"\\" + name)) << toUtf8(name);
            }
        }
        EXPECT_FALSE(exists(moved + L"\\a.log"));
        EXPECT_TRUE(regKeyExists(HKEY_CURRENT_USER, kKey + L"\\Tree\\Sub"));
        EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
        EXPECT_EQ(std::vector<std::wstring>{}, journalFiles());
        if (result.code == ERROR_SUCCESS) package.uninstall();
    }
    regDeleteTree(HKEY_CURRENT_USER, kKey);
}

// The step that ends a run (a commit, a discard, a rollback) meets a fault and cannot
// finish: what it could not delete or put back stays in its store, named by a record in
// the journal's place, and the next run of the library finishes it.
TEST(FaultInInstallation, WhatAFaultLeavesInTheStoresTheNextRunFinishes) {
    TestFolder root(L"C:\\tw-fault-next");
    TestFolder other(L"C:\\tw-fault-next-b");
    const std::wstring files = root / L"files";
    enum class Next { AnotherProductsRemoval, Uninstallation };
    struct Case {
        FaultyRun run;
        std::vector<std::wstring> records;  // what the journal folder holds after the fault
        Next next;
        std::vector<std::wstring> nextLogged;
    };
    const Case cases[] = {
        // Every delete of the commit is refused: its items, its store, its journal and the
        // write-ahead record stay. The leftover file names the items as ones to delete, and
        // the journal is written again naming none, so that no run puts them back.
        {{"commit of an undoable removal: access denied", Feature::UndoableRemovalCommitted,
          L"delete,1,access-denied,on", Armed::AfterTheRemoval, ERROR_SUCCESS,
          {L"OnVuRemoveFilesCommit: deleting 3 removed items for good",
           L"OnVuRemoveFilesCommit: the journal <journal> is emptied: the next run finds nothing to do in it",
           L"OnVuRemoveFilesCommit: the journal <journal>.leftover keeps the 3 items that could not be deleted; the "
           L"next run takes them up"},
          {}},
         {L"<journal>", L"<journal>.ahead", L"<journal>.leftover"},
         Next::AnotherProductsRemoval,
         {L"OnVuRemoveFilesUndoable: taking up what an earlier run left in the stores (<journal>.leftover)",
          L"OnVuRemoveFilesUndoable: the journal <journal>.leftover names items to be deleted, not put back: they are "
          L"deleted"}},
        // The clean-up discards the backup at installation, and every delete is refused.
        {{"discard of the backup: a sharing violation", Feature::BackupDiscarded, L"delete,1,sharing-violation,on",
          Armed::Throughout, ERROR_SUCCESS,
          {L"OnVuBackupCleanup: discarding the backup <backup>: 3 copies",
           L"OnVuBackupCleanup: the journal <backup>.leftover keeps the 3 items that could not be deleted; the next "
           L"run takes them up",
           L"OnVuBackupCleanup: backup file <backup> is still there (see the lines before)"},
          {}},
         {},
         Next::Uninstallation,
         {L"OnVuBackupCleanup: taking up what an earlier run left in the stores (<backup>.leftover)",
          L"OnVuBackupCleanup: discarding the backup <backup>: 0 copies",
          L"OnVuBackupCleanup: backup file <backup> removed"}},
        // The rollback cannot put b.log back, and from there on the disk is full: c.log
        // cannot go back, and the leftover file cannot be written. The journal and its
        // write-ahead record stay, naming every item.
        {{"rollback of an undoable removal: a sharing violation, then a full disk", Feature::UndoableRemovalRolledBack,
          L"rename,2,sharing-violation,full", Armed::AfterTheRemoval, ERROR_INSTALL_FAILURE,
          {L"OnVuUndoRemoveFiles: putting back 3 removed items",
           L"OnVuUndoRemoveFiles: could not put back " + files + L"\\b.log",
           L"OnVuUndoRemoveFiles: the journal <journal> and its undo record stay as they are: the next run takes "
           L"them up"},
          {L"<journal>.leftover keeps"}},
         {L"<journal>", L"<journal>.ahead"},
         Next::AnotherProductsRemoval,
         {L"OnVuRemoveFilesUndoable: an earlier run left its journal <journal>: its items go back where nothing "
          L"stands now"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.run.what);
        deleteJournalFiles();
        for (const auto& bin : recycleBins()) removeTree(bin);
        for (const auto* name : kFileNames) writeFile(files + L"\\" + name, toUtf8(name));
        Package package(L"fault-next");
        package.component(L"Main").property(L"FILES", files + L"\\");
        addFeature(package, c.run);
        const bool removes = c.run.feature == Feature::UndoableRemovalCommitted;
        {
            const RunResult result = installMeeting(package, c.run, root / L"fault-made");
            SCOPED_TRACE("the library's lines:" + libraryLines(result));
            // Nothing is lost: each file is in place, removed for good where the feature
            // removes (and said so), or held in a store for the next run.
            for (const auto* name : kFileNames) {
                const std::wstring path = files + L"\\" + name;
                if (removes) {
                    EXPECT_TRUE(!exists(path) && result.logHas(L"row files: removed " + path)) << toUtf8(name);
                } else {
                    EXPECT_TRUE(readFile(path) == toUtf8(name) || heldInAStore(name, toUtf8(name))) << toUtf8(name);
                }
            }
            EXPECT_FALSE(recycleBins().empty()) << "the fault left an item in a store";
            std::vector<std::wstring> records;
            for (const auto& record : c.records) records.push_back(filled(record, package));
            EXPECT_EQ(records, journalFiles());
        }

        const RunResult next =
            c.next == Next::Uninstallation ? package.uninstall() : anotherProductsRemoval(other.path());
        SCOPED_TRACE("the next run's lines:" + libraryLines(next));
        EXPECT_EQ(0u, next.code);
        expectLines(next, package, c.nextLogged, {});
        expectInPlaceWhereSaid(next);
        for (const auto* name : kFileNames) {
            if (removes) {
                EXPECT_FALSE(exists(files + L"\\" + name)) << toUtf8(name);
            } else {
                EXPECT_EQ(toUtf8(name), readFile(files + L"\\" + name)) << "back in place";
            }
        }
        EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
        EXPECT_EQ(std::vector<std::wstring>{}, journalFiles());
        EXPECT_FALSE(exists(backupFilePath(package.productCode())));
        EXPECT_FALSE(exists(leftoverFile(backupFilePath(package.productCode()))));
    }
}
