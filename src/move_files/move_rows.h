#pragma once
// The rows a package extends for this library: MoveFile joined with VU_MoveFile, each
// row taken away from the standard file moving and selected by its component state,
// its own condition and the install mode in ExtendedOptions.
#include <windows.h>
#include <msi.h>
#include <optional>
#include <string>
#include <vector>

#include "msi/action_data.h"
#include "msi/action_log.h"
#include "msi/row_decider.h"
#include "msi/row_deleter.h"
#include "msi/table_reader.h"

namespace tidewell {

// One selected row.
struct MoveRow {
    std::wstring key;  // FileKey, for the log
    std::wstring component;
    std::wstring sourceName;    // pattern; may hold * and ?
    std::wstring destName;      // new name when the pattern matches exactly one file
    std::wstring sourceFolder;  // value of the SourceFolder property
    std::wstring destFolder;    // value of the DestFolder property, ending with a backslash
    int options = 0;            // 0 copy, 1 move
    std::wstring extensionKey;  // the VU_MoveFile row's own key
    std::wstring condition;
    std::wstring extendedOptions;
};

// MoveFile (folders read as property values) joined with VU_MoveFile; the columns are
// the ten fields of a MoveRow in order.
const std::vector<TableSpec>& moveTableSpecs();

// The row of ten fields; nothing for a record of another length.
std::optional<MoveRow> parseMoveRow(const ActionDataRecord& fields);

// Install mode from the two lowest bits of ExtendedOptions: 0 and 1 give 1 (install),
// 2 gives 2 (uninstall), 3 gives 3 (both); higher bits are ignored.
int installModeOf(int extendedOptions);

// The row selector: deletes the row's standard MoveFile row from the running
// installation (whatever is decided), then decides whether the row applies and logs why.
bool selectMoveRow(const ActionLog& log, RowDeleter& standardRows, RowDecider& decider, TableRow& row);

// The selected rows of the package.
std::vector<MoveRow> selectMoveRows(const ActionLog& log, MsiTableReader& reader);

}  // namespace tidewell
