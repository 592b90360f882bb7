#pragma once
// The custom actions a package defines to use file removal: the immediate action before
// RemoveFiles, the undo sequenced before it, and the actions the immediate one schedules.
#include "package.h"

namespace tidewell::test {

inline constexpr int kUndoSequence = 3400;
inline constexpr int kRemoveSequence = 3450;

Package& addRemoveFilesActions(Package& package, bool withCommit = true);

}  // namespace tidewell::test
