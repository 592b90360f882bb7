#pragma once
// The rows a package extends for this library: MoveFile joined with VU_MoveFile, each
// row taken away from the standard file moving and selected by its component state,
// its own condition and the install mode in ExtendedOptions.
#include <windows.h>
#include <msi.h>
#include <string>
#include <vector>

#include "msi/action_log.h"
#include "msi/table_reader.h"

namespace tidewell {

// MoveFile (folders read as property values) joined with VU_MoveFile; each selected row
// becomes a ten-field record: FileKey, Component_, SourceName, DestName, source folder,
// destination folder, Options, MoveFile, Condition, ExtendedOptions.
const std::vector<TableSpec>& moveTableSpecs();

inline constexpr size_t kMoveRowFields = 10;

// Install mode from the two lowest bits of ExtendedOptions: 0 and 1 give 1 (install),
// 2 gives 2 (uninstall), 3 gives 3 (both); higher bits are ignored.
int installModeOf(int extendedOptions);

// Deletes the row's standard MoveFile row from the running installation (whatever is
// decided), then decides whether the row applies and logs why.
RowSelector moveRowSelector(const ActionLog& log);

}  // namespace tidewell
