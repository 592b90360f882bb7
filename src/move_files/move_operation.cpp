#include "move_files/move_operation.h"

#include "common/text.h"

namespace tidewell {

std::wstring writeMoveWorkList(const std::vector<MoveOperation>& operations) {
    std::wstring text;
    for (const auto& operation : operations) {
        if (!text.empty()) text += kRecordSeparator;
        text += joinFields({operation.source, operation.destination, toDecimal(operation.options),
                            operation.keptAncestor});
    }
    return text;
}

std::vector<MoveOperation> readMoveWorkList(const ActionData& data) {
    std::vector<MoveOperation> operations;
    if (data.groupCount() != 1) return operations;
    for (const auto& record : data.group(0)) {
        if (record.size() != kMoveRecordFields) continue;
        operations.push_back({record[0], record[1], parseDecimal(record[2]), record[3]});
    }
    return operations;
}

}  // namespace tidewell
