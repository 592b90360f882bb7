#include "backup/persistent_rows.h"

#include "common/text.h"

namespace tidewell {

namespace {

enum ItemField : size_t { kRowField, kTypeField, kConditionField, kPathField, kItemFields };

// Whether the row's condition holds, and why not when it does not.
bool conditionHolds(const ActionLog& log, const std::wstring& row, const std::wstring& condition) {
    switch (::MsiEvaluateConditionW(log.installer(), condition.c_str())) {
    case MSICONDITION_TRUE:
        log.line({L"row ", row, L" taken: condition '", condition, L"' is true"});
        return true;
    case MSICONDITION_FALSE: log.line({L"row ", row, L" skipped: condition '", condition, L"' is false"}); break;
    case MSICONDITION_NONE: log.line({L"row ", row, L" skipped: condition is empty (write 1 to back up always)"}); break;
    default: log.line({L"row ", row, L" skipped: condition '", condition, L"' is not valid"}); break;
    }
    return false;
}

}  // namespace

const std::vector<TableSpec>& persistentDataSpecs() {
    static const std::vector<TableSpec> specs{
        {.name = L"VU_PersistentData",
         .columns = {{.name = L"PersistentRow"}, {.name = L"Type"}, {.name = L"Condition"},
                     {.name = L"Path", .format = true}}},
    };
    return specs;
}

std::optional<PersistentItem> parsePersistentItem(const ActionDataRecord& record) {
    if (record.size() != kItemFields) return std::nullopt;
    return PersistentItem{.persistentRow = record[kRowField],
                          .type = parseDecimal(record[kTypeField]),
                          .condition = record[kConditionField],
                          .path = record[kPathField]};
}

std::vector<PersistentItem> selectPersistentItems(const ActionLog& log, MsiTableReader& reader) {
    const std::vector<TableSpec>& specs = persistentDataSpecs();
    // The condition is read before any field is formatted.
    const auto records = selectRows(log, reader, specs, [](const ActionLog& rowLog, TableRow& row) {
        return conditionHolds(rowLog, row.value(L"PersistentRow"), row.value(L"Condition"));
    });
    if (reader.rows().empty()) log.line({L"no rows in ", specs.front().name});
    std::vector<PersistentItem> items;
    for (const auto& record : records)
        if (auto item = parsePersistentItem(record)) items.push_back(std::move(*item));
    return items;
}

}  // namespace tidewell
