// Exports of the framework: the clean-up question and the restore scheduling.
#include <windows.h>
#include <msi.h>

#include "actions/prompt.h"
#include "actions/restore_schedule.h"
#include "actions/schedule.h"

using namespace tidewell;

extern "C" UINT __stdcall OnPromptUserBasicUI(MSIHANDLE installer) {
    return guardedExport(installer, L"OnPromptUserBasicUI", ERROR_SUCCESS,
                         [&] { return promptUserBasicUI(installer); });
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
