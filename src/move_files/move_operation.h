#pragma once
// One planned copy or move of a single file, and its record in the move work list:
// source, destination, options as decimal text, kept ancestor (four fields).
#include <string>
#include <vector>

#include "msi/action_data.h"

namespace tidewell {

enum MoveOption : int { kCopyFile = 0, kMoveFile = 1 };

struct MoveOperation {
    std::wstring source;       // full path of a file that existed at planning time
    std::wstring destination;  // full path the file is to have
    int options = kCopyFile;   // 0 copy, 1 move; other values neither
    std::wstring keptAncestor; // nearest part of the destination that existed at planning time
};

inline constexpr size_t kMoveRecordFields = 4;

// The work list: one group, one record per operation in order; empty for no operation.
std::wstring writeMoveWorkList(const std::vector<MoveOperation>& operations);

// The operations of a parsed work list; none unless it has exactly one group. Records
// with other than four fields are skipped.
std::vector<MoveOperation> readMoveWorkList(const ActionData& data);

}  // namespace tidewell
