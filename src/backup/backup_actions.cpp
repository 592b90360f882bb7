#include "backup/backup_actions.h"

#include "backup/persistent_data_backup.h"
#include "backup/persistent_rows.h"
#include "msi/action_data.h"
#include "msi/run_start.h"
#include "msi/schedule.h"
#include "msi/session.h"
#include "undo/interrupted_runs.h"
#include "win/command_script.h"

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

void restoreBackup(const ActionLog& log) {
    {
        // What interrupted removals left goes back first, so that the restore finds the
        // places as the package left them.
        ActionData data = ActionData::fromSession(log.installer());
        data.parse();
        CommandScript script(&log);
        takeUpInterruptedRuns(script, log, getProperty(log.installer(), L"ProductCode"), runStartOf(data));
        script.runForInstallingUser(getProperty(log.installer(), L"UserSID"));
    }
    PersistentDataBackup(log).restore();
}

}  // namespace tidewell
