#include "idt_table.h"

#include <stdexcept>

#include "common/text.h"

namespace tidewell::tools {

namespace {

std::vector<std::wstring> splitFields(const std::wstring& line) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos) return fields;
        start = tab + 1;
    }
}

std::vector<std::wstring> splitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// "s72" -> CHAR(72) NOT NULL, "L0" -> CHAR(0) LOCALIZABLE, "I2" -> SHORT, "i4" -> LONG NOT NULL,
// "v0" -> OBJECT NOT NULL: lower case letters are the columns that must hold a value.
std::wstring columnDefinition(const std::wstring& type) {
    if (type.size() < 2) throw std::runtime_error("column type '" + toUtf8(type) + "' is not an IDT type");
    const wchar_t letter = type[0];
    const std::wstring size = type.substr(1);
    const bool nullable = letter >= L'A' && letter <= L'Z';
    std::wstring sql;
    switch (letter) {
    case L's': case L'S': sql = L"CHAR(" + size + L")"; break;
    case L'l': case L'L': sql = L"CHAR(" + size + L")"; break;
    case L'i': case L'I': sql = size == L"4" ? L"LONG" : L"SHORT"; break;
    case L'v': case L'V': sql = L"OBJECT"; break;
    default: throw std::runtime_error("column type '" + toUtf8(type) + "' is not an IDT type");
    }
    if (!nullable) sql += L" NOT NULL";
    if (letter == L'l' || letter == L'L') sql += L" LOCALIZABLE";
    return sql;
}

}  // namespace

size_t IdtTable::columnIndex(const std::wstring& column) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == column) return i;
    throw std::runtime_error("table " + toUtf8(name) + " has no column " + toUtf8(column));
}

bool IdtTable::isInteger(size_t column) const {
    return types[column][0] == L'i' || types[column][0] == L'I';
}

std::wstring IdtTable::createStatement() const {
    std::wstring sql = L"CREATE TABLE `" + name + L"` (";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? L", `" : L"`") + columns[i] + L"` " + columnDefinition(types[i]);
    sql += L" PRIMARY KEY ";
    for (size_t i = 0; i < keys.size(); ++i) sql += (i ? L", `" : L"`") + keys[i] + L"`";
    return sql + L")";
}

IdtTable parseIdt(const std::string& text) {
    const std::vector<std::wstring> lines = splitLines(fromUtf8(text));
    if (lines.size() < 3) throw std::runtime_error("an IDT file needs three header lines");
    IdtTable table;
    table.columns = splitFields(lines[0]);
    table.types = splitFields(lines[1]);
    const std::vector<std::wstring> nameAndKeys = splitFields(lines[2]);
    if (table.types.size() != table.columns.size())
        throw std::runtime_error("the IDT header has a type for each column");
    table.name = nameAndKeys[0];
    table.keys.assign(nameAndKeys.begin() + 1, nameAndKeys.end());
    if (table.name.empty() || table.keys.empty()) throw std::runtime_error("the IDT header names no table or key");
    for (const auto& type : table.types) columnDefinition(type);  // checks every type
    for (const auto& key : table.keys) table.columnIndex(key);
    for (size_t i = 3; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        TextRow row = splitFields(lines[i]);
        if (row.size() != table.columns.size())
            throw std::runtime_error("row " + std::to_string(i + 1) + " of " + toUtf8(table.name) + " has " +
                                     std::to_string(row.size()) + " fields");
        table.rows.push_back(std::move(row));
    }
    return table;
}

}  // namespace tidewell::tools
