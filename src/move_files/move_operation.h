#pragma once
// One planned copy or move of a single file, and its record in the move work list:
// source, destination, options as decimal text, kept ancestor, and for a move the
// identity of the file it was planned for (a fifth field; lists without it are read too).
#include <optional>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "msi/action_data.h"

namespace tidewell {

enum MoveOption : int { kCopyFile = 0, kMoveFile = 1 };

struct MoveOperation {
    std::wstring source;       // full path of a file that existed at planning time
    std::wstring destination;  // full path the file is to have
    int options = kCopyFile;   // 0 copy, 1 move; other values neither
    std::wstring keptAncestor; // nearest part of the destination that existed at planning time
    std::wstring identity;     // of the source at planning time (moves); empty when unknown
};

// The operation's fields, in record order: four, and the identity when there is one.
ActionDataRecord moveOperationFields(const MoveOperation& operation);
// The operation of a four- or five-field record; nothing for a record of another length.
std::optional<MoveOperation> parseMoveOperation(const ActionDataRecord& fields);

// The work list: one group, one record per operation in order; empty for no operation.
std::wstring writeMoveWorkList(const std::vector<MoveOperation>& operations);

// The operations of a parsed work list; none unless it has exactly one group. Records
// with other than four or five fields are skipped; the log says so.
std::vector<MoveOperation> readMoveWorkList(const ActionData& data, const LogSink& log);

}  // namespace tidewell
