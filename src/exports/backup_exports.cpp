// Exports of the persistent-data backup: the immediate and deferred backups, the two
// discards (rollback and clean-up), the restore's scheduling and the deferred restore.
#include <windows.h>
#include <msi.h>

#include "backup/backup_actions.h"
#include "backup/restore_schedule.h"
#include "exports/export_barrier.h"

using namespace tidewell;

extern "C" UINT __stdcall OnVuBackupImmediate(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuBackupImmediate", kInstallFailure, backupImmediate);
}

extern "C" UINT __stdcall OnVuBackupDeferred(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuBackupDeferred", kInstallFailure, backupDeferred);
}

extern "C" UINT __stdcall OnVuBackupRollback(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuBackupRollback", ERROR_SUCCESS, discardBackup);
}

extern "C" UINT __stdcall OnVuBackupCleanup(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuBackupCleanup", ERROR_SUCCESS, discardBackup);
}

extern "C" UINT __stdcall OnVuRestoreDeferred(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRestoreDeferred", ERROR_SUCCESS, restoreBackup);
}

extern "C" UINT __stdcall OnVuRestoreImmediate(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRestoreImmediate", kInstallFailure, scheduleRestore);
}

// The restore has nothing to undo: the deferred restore only runs when the installation
// goes on, and the backup it restores from is gone once it has run.
extern "C" UINT __stdcall OnVuRestoreRollback(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRestoreRollback", ERROR_SUCCESS,
                         [](const ActionLog& log) { log.line(L"nothing to undo"); });
}
