// Exports of file removal: the immediate action, the permanent and undoable deferred
// removals, the commit and the undo.
#include <windows.h>
#include <msi.h>

#include "exports/export_barrier.h"
#include "remove_files/remove_files.h"
#include "remove_files/removal_worker.h"
#include "remove_files/undoable_removal.h"

using namespace tidewell;

extern "C" UINT __stdcall OnVuRemoveFilesImmediate(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRemoveFilesImmediate", kInstallFailure, removeFilesImmediate);
}

extern "C" UINT __stdcall OnVuRemoveFilesPermanent(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRemoveFilesPermanent", ERROR_SUCCESS,
                         [](const ActionLog& log) { removeFiles(log, nullptr); });
}

extern "C" UINT __stdcall OnVuRemoveFilesUndoable(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRemoveFilesUndoable", ERROR_SUCCESS, removeFilesUndoable);
}

extern "C" UINT __stdcall OnVuRemoveFilesCommit(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRemoveFilesCommit", ERROR_SUCCESS, commitRemoveFiles);
}

extern "C" UINT __stdcall OnVuUndoRemoveFiles(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuUndoRemoveFiles", ERROR_SUCCESS, undoRemoveFiles);
}
