#pragma once
// Turns the selected VU_MoveFile rows into single file operations at immediate time:
// searches each source folder once, decides every destination, and drops what would do
// nothing or overwrite. The deferred and rollback actions carry out exactly this list.
#include <string>
#include <vector>

#include "move_files/move_operation.h"
#include "msi/action_data.h"
#include "msi/action_log.h"

namespace tidewell {

// One selected row.
struct MoveFileEntry {
    std::wstring key;           // FileKey, for the log
    std::wstring sourceFolder;  // value of the SourceFolder property
    std::wstring sourceName;    // pattern; may hold * and ?
    std::wstring destFolder;    // value of the DestFolder property, ending with a backslash
    std::wstring destName;      // new name when the pattern matches exactly one file
    int options = kCopyFile;
};

class MovePlanner {
public:
    explicit MovePlanner(const ActionLog& log) : log_(log) {}

    // Takes the ten-field records of the row group; with other than one group, nothing.
    UINT load(const ActionData& rows);

    // Plans every entry, in order, and returns the work list (empty for no operation).
    std::wstring writeWorkList();

    const std::vector<MoveOperation>& operations() const { return operations_; }

private:
    void expandEntry(const MoveFileEntry& entry);

    ActionLog log_;
    std::vector<MoveFileEntry> entries_;
    std::vector<MoveOperation> operations_;
};

}  // namespace tidewell
