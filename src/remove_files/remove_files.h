#pragma once
// The immediate half of file removal: RemoveFile rows extended by VU_RemoveFile rows are
// taken out of the running installation's RemoveFile table, judged, and the kept ones are
// scheduled for permanent or undoable removal.
#include <windows.h>
#include <msi.h>

#include "msi/action_log.h"
#include "msi/row_decider.h"
#include "msi/row_deleter.h"
#include "msi/table_reader.h"

namespace tidewell {

// The row callback: deletes the standard row (always) and returns whether the row is
// carried over to the deferred action; logs why not.
bool selectRemoveFileRow(const ActionLog& log, RowDeleter& standardRows, RowDecider& decider, TableRow& row);

// OnVuRemoveFilesImmediate: 0, or 1603 when an action cannot be scheduled.
UINT removeFilesImmediate(const ActionLog& log);

}  // namespace tidewell
