#pragma once
#include "msi/action_log.h"

namespace tidewell {

// In a basic user interface, asks message 4152 of the package's Error table as a Yes/No
// question when VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI is "1"; a No answer sets
// VU_CLEAN_RESOURCES_UNINSTALL to "0".
void promptUserBasicUI(const ActionLog& log);

}  // namespace tidewell
