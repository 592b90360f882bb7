#include "removal_actions.h"

#include <msidefs.h>

namespace tidewell::test {

Package& addRemoveFilesActions(Package& package, bool withCommit) {
    constexpr int immediate = msidbCustomActionTypeDll;
    constexpr int deferred = immediate | msidbCustomActionTypeInScript;
    constexpr int rollback = deferred | msidbCustomActionTypeRollback;
    constexpr int commit = deferred | msidbCustomActionTypeCommit;
    package.tidewellAction(L"VU_RemoveFilesImmediate", immediate, L"OnVuRemoveFilesImmediate")
        .tidewellAction(L"VU_VuRemoveFilesDeferred_Permanent", deferred, L"OnVuRemoveFilesPermanent")
        .tidewellAction(L"VU_VuRemoveFilesDeferred_Undoable", deferred, L"OnVuRemoveFilesUndoable")
        .tidewellAction(L"VU_UndoRemoveFiles", rollback, L"OnVuUndoRemoveFiles")
        .sequence(L"VU_UndoRemoveFiles", kUndoSequence)
        .sequence(L"VU_RemoveFilesImmediate", kRemoveSequence);
    if (withCommit) package.tidewellAction(L"VU_VuRemoveFilesCommit", commit, L"OnVuRemoveFilesCommit");
    return package;
}

}  // namespace tidewell::test
