#include "backup/restore_schedule.h"

#include "msi/run_start.h"
#include "msi/schedule.h"

namespace tidewell {

UINT scheduleRestore(const ActionLog& log) {
    if (!scheduleAction(log, L"VU_VuRestoreRollback", std::nullopt)) return kInstallFailure;
    if (!scheduleAction(log, L"VU_VuRestoreDeferred", runStartGroup())) return kInstallFailure;
    return ERROR_SUCCESS;
}

}  // namespace tidewell
