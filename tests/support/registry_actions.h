#pragma once
// The custom actions a package defines to remove registry entries: the immediate action
// and the deferred and commit actions it schedules, bound but not sequenced.
#include "package.h"

namespace tidewell::test {

Package& addRegistryActions(Package& package);

}  // namespace tidewell::test
