#pragma once
#include <windows.h>
#include <msi.h>

#include "msi/action_log.h"

namespace tidewell {

// Places VU_VuRestoreRollback, then VU_VuRestoreDeferred in the script; 1603 when the
// first fails (the second is then not scheduled) or the second fails.
UINT scheduleRestore(const ActionLog& log);

}  // namespace tidewell
