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

namespace tidewell {

// Option bits of a VU_RemoveFile row.
inline constexpr int kRemoveEmptySubfolders = 1;     // pattern rows: matching empty folders
inline constexpr int kRemoveNonEmptySubfolders = 2;  // pattern rows: matching folders with content
inline constexpr int kRemoveWholeFolder = 3;         // folder rows: the folder with everything in it

struct RemovalEntry {
    std::wstring fileName;  // as stored: "short|long" or a single name; empty for a folder row
    std::wstring folder;    // the resolved DirProperty
    int options = 0;
};

class RemovalWorker {
public:
    explicit RemovalWorker(const ActionLog& log) : log_(log) {}

    // Fills the work list from exactly one group of 8-field records; returns 0.
    UINT load(const ActionData& data);
    // Removes every entry (into the sink when there is one); returns 0.
    UINT run(RemovalSink* sink);

    const std::map<std::wstring, RemovalEntry>& entries() const { return entries_; }

private:
    void removeFolderEntry(const std::wstring& key, const RemovalEntry& entry, RemovalSink* sink);
    void removePattern(const std::wstring& key, const RemovalEntry& entry, RemovalSink* sink);

    const ActionLog& log_;
    std::map<std::wstring, RemovalEntry> entries_;
};

// The long name of a "short|long" file name (the whole text without a "|").
std::wstring longFileName(const std::wstring& fileName);

// The deferred entry of both removal actions: parse CustomActionData, load, run. Returns 0.
UINT removeFiles(const ActionLog& log, RemovalSink* sink);

}  // namespace tidewell
