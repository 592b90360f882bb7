#pragma once
// What the backup and restore exports do, each for one action call. A backup that cannot
// copy an item that exists fails the installation (1603) and leaves nothing changed: the
// data would otherwise be lost to the removal that the backup is there for. The restore
// and the discards never fail it; what they cannot put back stays in the stores, logged.
#include <windows.h>

#include "msi/action_log.h"

namespace tidewell {

// Reads VU_PersistentData from the session and backs up the selected rows at once.
UINT backupImmediate(const ActionLog& log);
// Backs up the work list that the package put into CustomActionData.
UINT backupDeferred(const ActionLog& log);
// Deletes the copies and the backup file of the product.
void discardBackup(const ActionLog& log);
// Puts the copies back, then deletes them and the backup file.
void restoreBackup(const ActionLog& log);

}  // namespace tidewell
