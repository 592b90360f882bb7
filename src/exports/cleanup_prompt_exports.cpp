// Export of the clean-up question asked in a basic user interface.
#include <windows.h>
#include <msi.h>

#include "cleanup_prompt/cleanup_prompt.h"
#include "exports/export_barrier.h"

using namespace tidewell;

extern "C" UINT __stdcall OnPromptUserBasicUI(MSIHANDLE installer) {
    return guardedExport(installer, L"OnPromptUserBasicUI", ERROR_SUCCESS, promptUserBasicUI);
}
