#pragma once
// The hand-over from an immediate action to the actions it places in the install
// script.
#include <windows.h>
#include <msi.h>
#include <optional>
#include <string>

#include "common/text.h"
#include "msi/action_log.h"

namespace tidewell {

inline constexpr UINT kInstallFailure = ERROR_INSTALL_FAILURE;  // 1603

// Sets the property named after the action to the work list, places the action in the
// script (it takes the property's value as its CustomActionData), then clears the
// property again. Without a work list no property is touched. False at the first step
// that fails; the caller then returns 1603 and schedules nothing further.
bool scheduleAction(const ActionLog& log, const std::wstring& action, const std::optional<std::wstring>& workList);

}  // namespace tidewell
