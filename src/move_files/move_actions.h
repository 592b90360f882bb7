#pragma once
// The bodies of the three move exports.
#include <windows.h>
#include <msi.h>

namespace tidewell {

// Reads MoveFile joined with VU_MoveFile, plans the selected rows into file operations
// and schedules VU_VuMoveFilesRollback, then VU_VuMoveFilesDeferred, both with the same
// work list (also an empty one). 1603 when scheduling fails, else 0.
UINT moveFilesImmediate(MSIHANDLE installer);

// Carries out the work list in CustomActionData. Always 0.
UINT moveFilesDeferred(MSIHANDLE installer);

// Undoes the work list in CustomActionData. Always 0.
UINT moveFilesRollback(MSIHANDLE installer);

}  // namespace tidewell
