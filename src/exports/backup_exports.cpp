// Exports of the persistent-data backup: the immediate and deferred backups, the two
// discards (rollback and clean-up), the restore's scheduling and the deferred restore.
#include <windows.h>
#include <msi.h>

#include "backup/backup_actions.h"
#include "backup/restore_schedule.h"
#include "exports/export_barrier.h"

using namespace tidewell;

extern "C" UINT __stdcall OnVuBackupImmediate(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuBackupImmediate", ERROR_SUCCESS, [&] { return backupImmediate(installer); });
}

extern "C" UINT __stdcall OnVuBackupDeferred(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuBackupDeferred", ERROR_SUCCESS, [&] { return backupDeferred(installer); });
}

extern "C" UINT __stdcall OnVuBackupRollback(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuBackupRollback", ERROR_SUCCESS,
                         [&] { return discardBackup(installer, L"OnVuBackupRollback"); });
}

extern "C" UINT __stdcall OnVuBackupCleanup(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuBackupCleanup", ERROR_SUCCESS,
                         [&] { return discardBackup(installer, L"OnVuBackupCleanup"); });
}

extern "C" UINT __stdcall OnVuRestoreDeferred(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRestoreDeferred", ERROR_SUCCESS, [&] { return restoreBackup(installer); });
}

extern "C" UINT __stdcall OnVuRestoreImmediate(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRestoreImmediate", kInstallFailure,
                         [&] { return scheduleRestore(installer); });
}

// The restore has nothing to undo: the deferred restore only runs when the installation
// goes on, and the backup it restores from is gone once it has run.
extern "C" UINT __stdcall OnVuRestoreRollback(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRestoreRollback", ERROR_SUCCESS, [&] {
        ActionLog(installer, L"OnVuRestoreRollback").line(L"nothing to undo");
        return static_cast<UINT>(ERROR_SUCCESS);
    });
}
