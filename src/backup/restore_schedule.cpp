#include "backup/restore_schedule.h"

#include "msi/schedule.h"

namespace tidewell {

UINT scheduleRestore(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnVuRestoreImmediate");
    if (!scheduleAction(log, L"VU_VuRestoreRollback", std::nullopt)) return kInstallFailure;
    if (!scheduleAction(log, L"VU_VuRestoreDeferred", std::nullopt)) return kInstallFailure;
    return ERROR_SUCCESS;
}

}  // namespace tidewell
