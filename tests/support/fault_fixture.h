#pragma once
// The small world of the fault tests: a tree with a nested folder and a file whose path
// is longer than MAX_PATH, a registry key with a subkey, the undoable removal and the
// backup that act on them, and the checks that nothing is lost or left behind.
#include <windows.h>
#include <map>
#include <string>
#include <vector>

#include "backup/persistent_rows.h"
#include "common/log_sink.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "log_lines.h"

namespace tidewell::test {

inline const std::wstring kFaultRoot = L"C:\\tw-faults";
inline const std::wstring kFaultDestination = L"C:\\tw-faults-moved";
inline const std::wstring kFaultJournal = L"C:\\tw-faults-journal.tmp";
inline const std::wstring kFaultOwner = L"{FAULT-TABLE}";
inline const std::wstring kFaultRegistry = L"Software\\TidewellFaults";
inline const std::wstring kLongName = std::wstring(180, L'n') + L".dat";  // past MAX_PATH with its folders

// The files every run starts from, relative to kFaultRoot.
const std::map<std::wstring, std::string>& originalFiles();
// Clears every trace of an earlier run, then lays the data down.
void clearFaultWorld();
void layDownFaultWorld();
// What differs from the data as laid down; empty when nothing is lost.
std::vector<std::string> dataMismatches();
// Stores, journals, write-ahead records and backup files that are left; empty when none.
std::vector<std::string> leftBehind();

// The undoable removal of the whole tree and of files\*.dat, and its rollback.
ActionData removalList();
void removeUndoable(const ActionLog& log);
// The same removal ended before its journal is written (a host ended there): its rollback
// reads the items from the write-ahead record alone.
void removeUndoableEndingBeforeTheJournal(const ActionLog& log);
void rollBackRemoval(const ActionLog& log);
// The backup's items: the tree, one file, the registry key.
std::vector<PersistentItem> backupItems();

}  // namespace tidewell::test
