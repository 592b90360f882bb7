// The custom tables: the kit's columns, their _Validation rows, and a standard row for
// every extended row.
#include "check_context.h"

namespace tidewell::tools {

namespace {

std::wstring describe(const TableSchema& schema) {
    std::wstring text;
    for (size_t i = 0; i < schema.columns.size(); ++i)
        text += (i ? L", " : L"") + schema.columns[i] + L" " + (i < schema.types.size() ? schema.types[i] : L"?");
    std::wstring keys;
    for (const auto& key : schema.keys) keys += (keys.empty() ? L"" : L", ") + key;
    return text + L"; key " + keys;
}

void columns(CheckContext& context, const IdtTable& table) {
    const TableSchema wanted{table.columns, table.types, table.keys};
    const TableSchema present = context.package().schema(table.name);
    if (present == wanted) return;
    context.markUnreadable(table.name);
    context.report(L"table-columns", table.name, L"",
                   L"the table has " + describe(present) + L"; the library reads " + describe(wanted));
}

void validationRows(CheckContext& context, const std::wstring& table) {
    if (!context.hasTable(L"_Validation")) return;  // such a package is validated by nothing
    const IdtTable& kit = context.kit().at(L"_Validation");
    const size_t description = kit.columnIndex(L"Description");
    std::wstring names;
    for (const auto& column : kit.columns) names += (names.empty() ? L"" : L", ") + quoted(column);
    for (const auto& row : kit.rows) {
        if (row[0] != table) continue;
        const auto present = context.package().select(L"SELECT " + names + L" FROM `_Validation` WHERE `Table`=" +
                                                      literal(row[0]) + L" AND `Column`=" + literal(row[1]));
        if (present.empty()) {
            context.report(L"table-validation", L"_Validation", row[0] + L"." + row[1], L"the row is missing");
            continue;
        }
        for (size_t i = 0; i < row.size(); ++i) {
            if (i == description || row[i] == present.front()[i]) continue;
            context.report(L"table-validation", L"_Validation", row[0] + L"." + row[1],
                           L"its " + kit.columns[i] + L" is '" + present.front()[i] + L"', the kit's '" + row[i] + L"'");
            break;
        }
    }
}

// The kit's _Validation rows say which custom table extends which standard table: the
// key column with a KeyTable.
void orphanRows(CheckContext& context) {
    const IdtTable& kit = context.kit().at(L"_Validation");
    const size_t keyTable = kit.columnIndex(L"KeyTable");
    for (const auto& row : kit.rows) {
        const std::wstring& extension = row[0];
        const std::wstring& standard = row[keyTable];
        if (standard.empty() || !context.isReadable(extension)) continue;
        std::set<std::wstring> keys;
        if (context.hasTable(standard)) {
            const std::wstring keyColumn = context.package().schema(standard).keys.at(0);
            for (const auto& key : context.rows(standard, {keyColumn})) keys.insert(key[0]);
        }
        for (const auto& extended : context.rows(extension, {row[1]}))
            if (!keys.contains(extended[0]))
                context.report(L"orphan-row", extension, extended[0],
                               L"the " + standard + L" table has no row " + extended[0]);
    }
}

}  // namespace

void checkTables(CheckContext& context) {
    for (const auto& [name, table] : context.kit()) {
        if (!name.starts_with(L"VU_") || !context.hasTable(name)) continue;
        columns(context, table);
        validationRows(context, name);
    }
    orphanRows(context);
}

}  // namespace tidewell::tools
