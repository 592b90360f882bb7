#include "backup/backup_actions.h"

#include "backup/persistent_data_backup.h"
#include "backup/persistent_rows.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "msi/session.h"

namespace tidewell {

UINT backupImmediate(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnVuBackupImmediate");
    std::wstring workList;
    {
        MsiTableReader reader(installer);
        workList = collectPersistentRows(reader, log, persistentDataSpecs());
    }
    appendProperties(installer, workList, {L"ALLUSERS"});
    ActionData data(workList);
    data.parse();
    PersistentDataBackup backup(log);
    backup.load(data);
    backup.backUp();
    return ERROR_SUCCESS;
}

UINT backupDeferred(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnVuBackupDeferred");
    ActionData data = ActionData::fromSession(installer);
    data.parse();
    PersistentDataBackup backup(log);
    backup.load(data);
    backup.backUp();
    return ERROR_SUCCESS;
}

UINT discardBackup(MSIHANDLE installer, const wchar_t* exportName) {
    const ActionLog log(installer, exportName);
    PersistentDataBackup(log).discard();
    return ERROR_SUCCESS;
}

UINT restoreBackup(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnVuRestoreDeferred");
    PersistentDataBackup(log).restore();
    return ERROR_SUCCESS;
}

}  // namespace tidewell
