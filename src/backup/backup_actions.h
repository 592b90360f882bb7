#pragma once
// What the backup and restore exports do, each for one action call; all of them return
// ERROR_SUCCESS whatever happened to single items (a failed copy never fails the
// installation).
#include <windows.h>
#include <msi.h>

namespace tidewell {

// Reads VU_PersistentData from the session and backs up the selected rows at once.
UINT backupImmediate(MSIHANDLE installer);
// Backs up the work list that the package put into CustomActionData.
UINT backupDeferred(MSIHANDLE installer);
// Deletes the copies and the backup file of the product; exportName prefixes the log.
UINT discardBackup(MSIHANDLE installer, const wchar_t* exportName);
// Puts the copies back, then deletes them and the backup file.
UINT restoreBackup(MSIHANDLE installer);

}  // namespace tidewell
