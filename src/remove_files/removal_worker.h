#pragma once
// The deferred half of file removal: reads the work list of OnVuRemoveFilesImmediate back
// from CustomActionData and removes files, patterns and folder trees, for good or by
// handing every item to a RemovalSink.
#include <windows.h>
#include <msi.h>
#include <map>
#include <string>

#include "win/removal_sink.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "msi/progress_reporter.h"
#include "remove_files/removal_record.h"

namespace tidewell {

// Option bits of a VU_RemoveFile row.
inline constexpr int kRemoveEmptySubfolders = 1;     // pattern rows: matching empty folders
inline constexpr int kRemoveNonEmptySubfolders = 2;  // pattern rows: matching folders with content
inline constexpr int kRemoveWholeFolder = 3;         // folder rows: the folder with everything in it

class RemovalWorker {
public:
    explicit RemovalWorker(const ActionLog& log) : log_(log), progress_(log.installer()) {}

    // Fills the work list from exactly one group of 8-field records, keyed by FileKey
    // (the first record of a key wins).
    void load(const ActionData& data);
    // Removes every entry (into the sink when there is one); an entry that names the item
    // of an entry before it (the same folder, or the same pattern in it) is skipped.
    void run(RemovalSink* sink);

    const std::map<std::wstring, RemovalRecord>& entries() const { return entries_; }

private:
    void removeFolderEntry(const std::wstring& key, const RemovalRecord& entry, RemovalSink* sink);
    void removePattern(const std::wstring& key, const RemovalRecord& entry, RemovalSink* sink);

    const ActionLog& log_;
    ProgressReporter progress_;
    std::map<std::wstring, RemovalRecord> entries_;
};

// The long name of a "short|long" file name (the whole text without a "|").
std::wstring longFileName(const std::wstring& fileName);

// The deferred entry of both removal actions: parse CustomActionData, load, run.
void removeFiles(const ActionLog& log, RemovalSink* sink);

}  // namespace tidewell
