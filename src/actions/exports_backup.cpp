// Exports of the persistent-data backup: the immediate and deferred backups, the two
// discards (rollback and clean-up) and the deferred restore. OnVuRestoreImmediate and
// OnVuRestoreRollback sit with the framework's exports.
#include <windows.h>
#include <msi.h>

#include "actions/schedule.h"
#include "backup/backup_actions.h"

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
