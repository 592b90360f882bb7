#pragma once
// The bodies of the three move exports.
#include <windows.h>
#include <msi.h>

#include "msi/action_log.h"

namespace tidewell {

// Reads MoveFile joined with VU_MoveFile, plans the selected rows into file operations
// and schedules VU_VuMoveFilesRollback, then VU_VuMoveFilesDeferred, both with the same
// work list (also an empty one). 1603 when scheduling fails, else 0.
UINT moveFilesImmediate(const ActionLog& log);

// Carries out the work list in CustomActionData.
void moveFilesDeferred(const ActionLog& log);

// Undoes the work list in CustomActionData.
void moveFilesRollback(const ActionLog& log);

}  // namespace tidewell
