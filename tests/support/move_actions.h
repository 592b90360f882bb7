#pragma once
// The custom actions a package defines to move and copy files: the immediate action and
// the rollback and deferred actions it schedules, bound but not sequenced.
#include "package.h"

namespace tidewell::test {

Package& addMoveActions(Package& package);

}  // namespace tidewell::test
