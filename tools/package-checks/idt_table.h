#pragma once
// A table as an IDT file writes it: the text format in which Windows Installer exports
// and imports tables, and the form of the authoring kit's files.
#include <string>
#include <vector>

namespace tidewell::tools {

using TextRow = std::vector<std::wstring>;  // one text per column; "" is null

struct IdtTable {
    std::wstring name;
    std::vector<std::wstring> columns;
    std::vector<std::wstring> types;  // s72, S255, i2, I2, L0, v0 ...: letter, then size
    std::vector<std::wstring> keys;   // the primary key's columns
    std::vector<TextRow> rows;

    // Index of the column; throws when the table has none of that name.
    size_t columnIndex(const std::wstring& column) const;
    bool isInteger(size_t column) const;
    // The CREATE TABLE statement that makes this table with these columns and keys.
    std::wstring createStatement() const;
};

// Reads IDT text (lines ending in CR LF or LF, fields separated by tabs; the first
// three lines are the column names, the column types, the table name with its keys).
// Throws std::runtime_error naming the fault when the text is not such a table.
IdtTable parseIdt(const std::string& text);

}  // namespace tidewell::tools
