#include "registry_actions.h"

#include <msidefs.h>

namespace tidewell::test {

Package& addRegistryActions(Package& package) {
    constexpr int immediate = msidbCustomActionTypeDll;
    constexpr int deferred = immediate | msidbCustomActionTypeInScript;
    constexpr int commit = deferred | msidbCustomActionTypeCommit;
    return package.tidewellAction(L"VU_RemoveRegsImmediate", immediate, L"OnVuRemoveRegsImmediate")
        .tidewellAction(L"VU_VuRemoveRegsDeferred", deferred, L"OnVuRemoveRegs")
        .tidewellAction(L"VU_VuRemoveRegsCommit", commit, L"OnVuRemoveRegs");
}

}  // namespace tidewell::test
