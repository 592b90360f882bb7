// The custom tables: the kit's columns, their _Validation rows, and a standard row for
// every extended row.
#include <algorithm>
#include <cwctype>

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

// What the library makes of a column type: it reads every column by name, integers ('i')
// as numbers and strings ('s', 'l') as text, and takes numbers from the start of a text.
// Streams ('v') and anything else it cannot read.
enum class Kind { Integer, Text, Unreadable };

Kind kindOf(const std::wstring& type) {
    const wchar_t letter = type.empty() ? L'\0' : static_cast<wchar_t>(std::towlower(type[0]));
    if (letter == L'i') return Kind::Integer;
    if (letter == L's' || letter == L'l') return Kind::Text;
    return Kind::Unreadable;
}

void columns(CheckContext& context, const IdtTable& table) {
    const TableSchema present = context.package().schema(table.name);
    std::vector<std::wstring> errors, differences;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const std::wstring& column = table.columns[i];
        const std::wstring& wanted = table.types[i];
        const auto found = std::find(present.columns.begin(), present.columns.end(), column);
        if (found == present.columns.end()) {
            errors.push_back(L"it lacks " + column + L" (" + wanted + L")");
            if (i == 0) context.markUnreadable(table.name);  // the key that joins its rows
            continue;
        }
        const size_t at = static_cast<size_t>(found - present.columns.begin());
        const std::wstring type = at < present.types.size() ? present.types[at] : L"";
        if (type == wanted) continue;
        if (kindOf(type) == Kind::Unreadable)
            errors.push_back(column + L" is " + type + L", which the library cannot read");
        else if (kindOf(type) != kindOf(wanted))
            differences.push_back(column + L" is " + type + L", the kit's " + wanted +
                                  (kindOf(wanted) == Kind::Integer ? L" (the library takes the number a text begins with)"
                                                                   : L" (the library reads the number as its text)"));
        else
            differences.push_back(column + L" is " + type + L", the kit's " + wanted);
    }
    for (const auto& column : present.columns)
        if (std::find(table.columns.begin(), table.columns.end(), column) == table.columns.end())
            differences.push_back(column + L" is not one of the kit's columns (the library does not read it)");
    if (present.keys != table.keys) {
        std::wstring keys, wanted;
        for (const auto& key : present.keys) keys += (keys.empty() ? L"" : L", ") + key;
        for (const auto& key : table.keys) wanted += (wanted.empty() ? L"" : L", ") + key;
        errors.push_back(L"its key is " + keys + L", the kit's " + wanted);
    }
    const auto joined = [](const std::vector<std::wstring>& parts) {
        std::wstring text;
        for (const auto& part : parts) text += (text.empty() ? L"" : L"; ") + part;
        return text;
    };
    if (!errors.empty())
        context.report(L"table-columns", table.name, L"",
                       joined(errors) + L"; the library reads " + describe({table.columns, table.types, table.keys}));
    if (!differences.empty())
        context.report(L"column-type", table.name, L"",
                       joined(differences) +
                           L": the library reads each column by name and each value as a number or as text, so this "
                           L"does not change what it does");
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
