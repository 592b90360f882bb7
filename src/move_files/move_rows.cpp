#include "move_files/move_rows.h"

#include "common/text.h"
#include "msi/standard_rows.h"

namespace tidewell {

namespace {
enum Field : size_t {
    kKeyField, kComponentField, kSourceNameField, kDestNameField, kSourceFolderField, kDestFolderField,
    kOptionsField, kExtensionKeyField, kConditionField, kExtendedOptionsField, kRecordFields
};
}  // namespace

const std::vector<TableSpec>& moveTableSpecs() {
    static const std::vector<TableSpec> specs = {
        {.name = L"MoveFile",
         .columns = {{.name = L"FileKey"}, {.name = L"Component_"}, {.name = L"SourceName"}, {.name = L"DestName"},
                     {.name = L"SourceFolder", .property = true}, {.name = L"DestFolder", .property = true},
                     {.name = L"Options"}},
         .joinColumn = L"FileKey"},
        {.name = L"VU_MoveFile",
         .columns = {{.name = L"MoveFile"}, {.name = L"Condition"}, {.name = L"ExtendedOptions"}},
         .joinColumn = L"MoveFile"},
    };
    return specs;
}

std::optional<MoveRow> parseMoveRow(const ActionDataRecord& fields) {
    if (fields.size() != kRecordFields) return std::nullopt;
    return MoveRow{.key = fields[kKeyField],
                   .component = fields[kComponentField],
                   .sourceName = fields[kSourceNameField],
                   .destName = fields[kDestNameField],
                   .sourceFolder = fields[kSourceFolderField],
                   .destFolder = fields[kDestFolderField],
                   .options = parseDecimal(fields[kOptionsField]),
                   .extensionKey = fields[kExtensionKeyField],
                   .condition = fields[kConditionField],
                   .extendedOptions = fields[kExtendedOptionsField]};
}

int installModeOf(int extendedOptions) {
    switch (extendedOptions & 3) {
    case 2: return 2;
    case 3: return 3;
    default: return 1;
    }
}

bool selectMoveRow(const ActionLog& log, RowDeleter& standardRows, RowDecider& decider, TableRow& row) {
    const std::wstring key = row.value(L"FileKey");
    // The standard action must never see an extended row, selected or not.
    takeOverStandardRow(log, standardRows, key);
    const int mode = installModeOf(parseDecimal(row.value(L"ExtendedOptions")));
    const RowDecision decision = decider.decide(row.value(L"Component_"), row.value(L"Condition"), toDecimal(mode));
    log.line({L"row ", key, (decision.taken ? L" taken: " : L" skipped: "), decision.reason});
    return decision.taken;
}

std::vector<MoveRow> selectMoveRows(const ActionLog& log, MsiTableReader& reader) {
    std::vector<MoveRow> rows;
    RowDeleter standardRows(log.installer(), L"MoveFile", L"FileKey");
    RowDecider decider(log.installer());
    const auto select = [&](const ActionLog& rowLog, TableRow& row) {
        return selectMoveRow(rowLog, standardRows, decider, row);
    };
    for (const auto& fields : selectRows(log, reader, moveTableSpecs(), select))
        if (auto row = parseMoveRow(fields)) rows.push_back(std::move(*row));
    return rows;
}

}  // namespace tidewell
