#include "backup/backup_actions.h"

#include "backup/persistent_data_backup.h"
#include "backup/persistent_rows.h"
#include "msi/action_data.h"
#include "msi/schedule.h"
#include "msi/session.h"

namespace tidewell {

namespace {
UINT result(bool backedUp) { return backedUp ? ERROR_SUCCESS : kInstallFailure; }
}  // namespace

UINT backupImmediate(const ActionLog& log) {
    std::vector<PersistentItem> items;
    {
        MsiTableReader reader(log.installer());
        items = selectPersistentItems(log, reader);
    }
    PersistentDataBackup backup(log);
    backup.take(std::move(items), getProperty(log.installer(), L"ALLUSERS"));
    return result(backup.backUp());
}

UINT backupDeferred(const ActionLog& log) {
    ActionData data = ActionData::fromSession(log.installer());
    data.parse();
    PersistentDataBackup backup(log);
    backup.load(data);
    return result(backup.backUp());
}

void discardBackup(const ActionLog& log) { PersistentDataBackup(log).discard(); }

void restoreBackup(const ActionLog& log) { PersistentDataBackup(log).restore(); }

}  // namespace tidewell
