#pragma once
// The three actions of undoable file removal around one UndoTransaction: the deferred
// removal into the stores, the commit that makes it final and the undo that puts
// everything back.
#include "msi/action_log.h"

namespace tidewell {

void removeFilesUndoable(const ActionLog& log);
void commitRemoveFiles(const ActionLog& log);
void undoRemoveFiles(const ActionLog& log);

}  // namespace tidewell
