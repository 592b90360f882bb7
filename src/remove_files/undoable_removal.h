#pragma once
// The three actions of undoable file removal around one UndoTransaction: the deferred
// removal into the stores, the commit that makes it final and the undo that puts
// everything back. Each returns 0.
#include <windows.h>
#include <msi.h>

namespace tidewell {

UINT removeFilesUndoable(MSIHANDLE installer);
UINT commitRemoveFiles(MSIHANDLE installer);
UINT undoRemoveFiles(MSIHANDLE installer);

}  // namespace tidewell
