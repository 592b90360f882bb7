#include "move_actions.h"

#include <msidefs.h>

namespace tidewell::test {

Package& addMoveActions(Package& package) {
    constexpr int immediate = msidbCustomActionTypeDll;
    constexpr int deferred = immediate | msidbCustomActionTypeInScript;
    constexpr int rollback = deferred | msidbCustomActionTypeRollback;
    return package.tidewellAction(L"VU_MoveFilesImmediate", immediate, L"OnVuMoveFilesImmediate")
        .tidewellAction(L"VU_VuMoveFilesRollback", rollback, L"OnVuMoveFilesRollback")
        .tidewellAction(L"VU_VuMoveFilesDeferred", deferred, L"OnVuMoveFilesDeferred");
}

}  // namespace tidewell::test
