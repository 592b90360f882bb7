#include "move_files/move_operation.h"

#include "common/text.h"

namespace tidewell {

namespace {
enum Field : size_t { kSourceField, kDestinationField, kOptionsField, kKeptAncestorField, kRecordFields, kIdentityField = kRecordFields };
}  // namespace

ActionDataRecord moveOperationFields(const MoveOperation& operation) {
    ActionDataRecord fields(kRecordFields);
    fields[kSourceField] = operation.source;
    fields[kDestinationField] = operation.destination;
    fields[kOptionsField] = toDecimal(operation.options);
    fields[kKeptAncestorField] = operation.keptAncestor;
    if (!operation.identity.empty()) fields.push_back(operation.identity);
    return fields;
}

std::optional<MoveOperation> parseMoveOperation(const ActionDataRecord& fields) {
    if (fields.size() != kRecordFields && fields.size() != kRecordFields + 1) return std::nullopt;
    return MoveOperation{.source = fields[kSourceField],
                         .destination = fields[kDestinationField],
                         .options = parseDecimal(fields[kOptionsField]),
                         .keptAncestor = fields[kKeptAncestorField],
                         .identity = fields.size() > kIdentityField ? fields[kIdentityField] : std::wstring()};
}

std::wstring writeMoveWorkList(const std::vector<MoveOperation>& operations) {
    std::vector<ActionDataRecord> records;
    for (const auto& operation : operations) records.push_back(moveOperationFields(operation));
    return joinRecords(records);
}

std::vector<MoveOperation> readMoveWorkList(const ActionData& data, const LogSink& log) {
    std::vector<MoveOperation> operations;
    if (data.groupCount() != 1) {
        if (data.groupCount() > 1) log.line({L"work list ignored: it holds ", toDecimal(data.groupCount()), L" groups"});
        return operations;
    }
    for (const auto& fields : data.group(0)) {
        if (auto operation = parseMoveOperation(fields)) operations.push_back(std::move(*operation));
        else log.line({L"work-list record skipped: ", toDecimal(fields.size()), L" fields instead of 4 or 5"});
    }
    return operations;
}

}  // namespace tidewell
