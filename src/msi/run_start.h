#pragma once
// The moment an installation's immediate action ran, handed to the deferred action it
// schedules as a group of the work list: records that the library finds written after it
// belong to a run of this same installation that is still going on.
#include <windows.h>
#include <optional>
#include <string>

#include "msi/action_data.h"

namespace tidewell {

// The group "VU_BEGUN" <field> <now, 100-nanosecond intervals since 1601, UTC>.
std::wstring runStartGroup();
// The time from such a group of the work list; none when no group holds one.
std::optional<ULONGLONG> runStartOf(const ActionData& data);
// True for the run-start group (which carries no rows).
bool isRunStartGroup(const ActionDataGroup& group);

}  // namespace tidewell
