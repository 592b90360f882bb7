#include "fault_fixture.h"

#include "backup/persistent_data_backup.h"
#include "common/text.h"
#include "remove_files/removal_worker.h"
#include "undo/journal_file.h"
#include "undo/undo_transaction.h"
#include "win/paths.h"
#include "test_fs.h"

namespace tidewell::test {

namespace {
const std::wstring F(1, kFieldSeparator), R(1, kRecordSeparator);
}  // namespace

const std::map<std::wstring, std::string>& originalFiles() {
    static const std::map<std::wstring, std::string> files{
        {L"tree\\top.txt", "top"},
        {L"tree\\nested\\deep.txt", "deep"},
        {L"tree\\nested\\" + kLongName, std::string(5000, 'L')},
        {L"files\\a.dat", "a"},
        {L"files\\b.dat", "b"},
        {L"keep.txt", "keep"},
    };
    return files;
}

void clearFaultWorld() {
    removeTree(kFaultRoot);
    removeTree(kFaultDestination);
    for (const auto& file : {kFaultJournal, writeAheadFile(kFaultJournal), pendingFile(kFaultJournal),
                             leftoverFile(kFaultJournal)})
        DeleteFileW(file.c_str());
    const std::wstring backup = tempFolder() + backupFileName(L"");
    for (const auto& file : {backup, writeAheadFile(backup), pendingFile(backup), backup + L".partial",
                             leftoverFile(backup), leftoverFile(backup + L".partial")})
        DeleteFileW(file.c_str());
    for (const auto& bin : recycleBins()) removeTree(bin);
    removeTree(tempFolder() + L"VU_RecycleBin");
    regDeleteTree(HKEY_CURRENT_USER, kFaultRegistry);
    regDeleteTree(HKEY_CURRENT_USER, L"Software\\VU_RecycleBin");
}

void layDownFaultWorld() {
    clearFaultWorld();
    for (const auto& [name, content] : originalFiles()) writeFile(kFaultRoot + L"\\" + name, content);
    regSetString(HKEY_CURRENT_USER, kFaultRegistry + L"\\key", L"v", L"1");
    regSetString(HKEY_CURRENT_USER, kFaultRegistry + L"\\key\\sub", L"w", L"2");
    regSetString(HKEY_CURRENT_USER, kFaultRegistry + L"\\other", L"value", L"3");
}

// What a run ends with when nothing is lost: the data as laid down.
std::vector<std::string> dataMismatches() {
    std::vector<std::string> wrong;
    for (const auto& [name, content] : originalFiles()) {
        if (!exists(kFaultRoot + L"\\" + name)) wrong.push_back("missing " + toUtf8(name));
        else if (readFile(kFaultRoot + L"\\" + name) != content) wrong.push_back("changed " + toUtf8(name));
    }
    if (regGetString(HKEY_CURRENT_USER, kFaultRegistry + L"\\key", L"v") != L"1" ||
        regGetString(HKEY_CURRENT_USER, kFaultRegistry + L"\\key\\sub", L"w") != L"2")
        wrong.push_back("registry key changed");
    return wrong;
}

std::vector<std::string> leftBehind() {
    std::vector<std::string> left;
    const std::wstring backup = tempFolder() + backupFileName(L"");
    for (const auto& file : {kFaultJournal, writeAheadFile(kFaultJournal), pendingFile(kFaultJournal),
                             leftoverFile(kFaultJournal), backup, writeAheadFile(backup), pendingFile(backup),
                             backup + L".partial", pendingFile(backup + L".partial"), leftoverFile(backup),
                             leftoverFile(backup + L".partial")})
        if (exists(file)) left.push_back(toUtf8(file));
    for (const auto& bin : recycleBins()) left.push_back(toUtf8(bin));
    if (exists(tempFolder() + L"VU_RecycleBin")) left.push_back("VU_RecycleBin in the temporary folder");
    if (regKeyExists(HKEY_CURRENT_USER, L"Software\\VU_RecycleBin")) left.push_back("the registry store");
    if (exists(kFaultDestination)) left.push_back(toUtf8(kFaultDestination));
    return left;
}

// The removal work list: the whole tree, and the pattern *.dat in files.
ActionData removalList() {
    ActionData data(L"tree" + F + L"c" + F + F + kFaultRoot + L"\\tree" + F + L"1" + F + F + F + L"3" + R + L"files" + F +
                    L"c" + F + L"*.dat" + F + kFaultRoot + L"\\files" + F + L"1" + F + F + F + L"0");
    data.parse();
    return data;
}

namespace {
enum class JournalAtTheEnd { Written, NotWritten };

void runUndoableRemoval(const ActionLog& log, JournalAtTheEnd journal) {
    UndoTransaction transaction(nullptr, &log, kFaultJournal);
    if (!transaction.beginWriteAhead(kFaultOwner)) return;
    RemovalWorker worker(log);
    worker.load(removalList());
    worker.run(&transaction);
    if (journal == JournalAtTheEnd::Written) transaction.saveJournal();
    transaction.keep();
}
}  // namespace

void removeUndoable(const ActionLog& log) { runUndoableRemoval(log, JournalAtTheEnd::Written); }

void removeUndoableEndingBeforeTheJournal(const ActionLog& log) {
    runUndoableRemoval(log, JournalAtTheEnd::NotWritten);
}

void rollBackRemoval(const ActionLog& log) {
    UndoTransaction transaction(nullptr, &log, kFaultJournal);
    transaction.setOwner(kFaultOwner);
    if (transaction.loadJournal()) transaction.restoreAll();
}

std::vector<PersistentItem> backupItems() {
    return {{L"tree", 0, L"1", kFaultRoot + L"\\tree"},
            {L"a", 0, L"1", kFaultRoot + L"\\files\\a.dat"},
            {L"key", 0, L"1", L"HKEY_CURRENT_USER\\" + kFaultRegistry + L"\\key"}};
}


}  // namespace tidewell::test
