#pragma once
// What the backup and restore exports do, each for one action call; none of them fails
// the installation, whatever happened to single items.
#include "msi/action_log.h"

namespace tidewell {

// Reads VU_PersistentData from the session and backs up the selected rows at once.
void backupImmediate(const ActionLog& log);
// Backs up the work list that the package put into CustomActionData.
void backupDeferred(const ActionLog& log);
// Deletes the copies and the backup file of the product.
void discardBackup(const ActionLog& log);
// Puts the copies back, then deletes them and the backup file.
void restoreBackup(const ActionLog& log);

}  // namespace tidewell
