// Exports of file moving: planning at immediate time, the moves and copies in the
// script, and their undoing on rollback.
#include <windows.h>
#include <msi.h>

#include "exports/export_barrier.h"
#include "move_files/move_actions.h"

using namespace tidewell;

extern "C" UINT __stdcall OnVuMoveFilesImmediate(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuMoveFilesImmediate", kInstallFailure, moveFilesImmediate);
}

extern "C" UINT __stdcall OnVuMoveFilesDeferred(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuMoveFilesDeferred", ERROR_SUCCESS, moveFilesDeferred);
}

extern "C" UINT __stdcall OnVuMoveFilesRollback(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuMoveFilesRollback", ERROR_SUCCESS, moveFilesRollback);
}
