#include "backup/persistent_rows.h"

#include "msi/action_data.h"
#include "msi/session.h"

namespace tidewell {

namespace {

// Whether the row's condition holds, and why not when it does not.
bool conditionHolds(const ActionLog& log, const std::wstring& row, const std::wstring& condition) {
    switch (::MsiEvaluateConditionW(log.installer(), condition.c_str())) {
    case MSICONDITION_TRUE:
        log.line(L"row " + row + L" taken: condition '" + condition + L"' is true");
        return true;
    case MSICONDITION_FALSE: log.line(L"row " + row + L" skipped: condition '" + condition + L"' is false"); break;
    case MSICONDITION_NONE: log.line(L"row " + row + L" skipped: condition is empty (write 1 to back up always)"); break;
    default: log.line(L"row " + row + L" skipped: condition '" + condition + L"' is not valid"); break;
    }
    return false;
}

}  // namespace

const std::vector<TableSpec>& persistentDataSpecs() {
    static const std::vector<TableSpec> specs{
        {L"VU_PersistentData", {{L"PersistentRow"}, {L"Type"}, {L"Condition"}, {L"Path", true}}, {}, L"Condition", {}},
    };
    return specs;
}

std::wstring collectPersistentRows(MsiTableReader& reader, const ActionLog& log, const std::vector<TableSpec>& specs) {
    const MSIHANDLE installer = log.installer();
    std::wstring result;
    for (size_t t = 0; t < specs.size(); ++t) {
        const TableSpec& spec = specs[t];
        if (!reader.openTable(spec.name, {}, spec.order)) log.line(L"no rows in " + spec.name);
        std::wstring group;
        for (const auto& row : reader.rows()) {
            // The condition is read before any field is formatted.
            if (!spec.conditionColumn.empty() &&
                !conditionHolds(log, row.value(spec.columns.front().name), row.value(spec.conditionColumn)))
                continue;
            std::vector<std::wstring> fields;
            for (const auto& column : spec.columns) {
                std::wstring value = row.value(column.name);
                if (column.property && !value.empty()) value = getProperty(installer, value);
                if (column.format) value = formatText(installer, value);
                fields.push_back(std::move(value));
            }
            if (!group.empty()) group += kRecordSeparator;
            group += joinFields(fields);
        }
        if (t > 0) result += kGroupSeparator;
        result += group;
    }
    return result;
}

}  // namespace tidewell
