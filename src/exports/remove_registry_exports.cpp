// Exports of registry removal: the immediate action that builds and schedules the work
// list, and the deferred or commit action that removes the keys and values.
#include <windows.h>
#include <msi.h>

#include "exports/export_barrier.h"
#include "remove_registry/registry_removal_rows.h"
#include "remove_registry/registry_remover.h"

using namespace tidewell;

extern "C" UINT __stdcall OnVuRemoveRegsImmediate(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRemoveRegsImmediate", kInstallFailure, scheduleRegistryRemoval);
}

// Registry removal never fails the installation: single keys and values are results.
extern "C" UINT __stdcall OnVuRemoveRegs(MSIHANDLE installer) {
    return guardedExport(installer, L"OnVuRemoveRegs", ERROR_SUCCESS, removeRegistryEntries);
}
