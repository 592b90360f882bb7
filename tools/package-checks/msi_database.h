#pragma once
// A package database opened for the tools: reads of tables, rows, schemas and streams,
// and, when opened for changes, statements whose changes reach the file only when
// commit() is called.
#include <windows.h>
#include <msi.h>
#include <string>
#include <vector>

#include "common/unique_any.h"
#include "idt_table.h"

namespace tidewell::tools {

struct TableSchema {
    std::vector<std::wstring> columns;
    std::vector<std::wstring> types;  // as Windows Installer reports them: s72, I2, L0, ...
    std::vector<std::wstring> keys;
    bool operator==(const TableSchema&) const = default;
};

enum class OpenMode { ReadOnly, Transacted };

class MsiDatabase {
public:
    // Opens the file; throws when it is no Windows Installer database. ReadOnly never
    // writes the file; Transacted writes it only on commit().
    MsiDatabase(const std::wstring& path, OpenMode mode);

    bool hasTable(const std::wstring& table) const;
    TableSchema schema(const std::wstring& table) const;
    // Every row of the statement, each value as text ("" for null).
    std::vector<TextRow> select(const std::wstring& statement) const;
    // The bytes of a stream column in the rows of the statement (the first row's field).
    std::string stream(const std::wstring& statement, UINT field) const;
    MSIHANDLE handle() const { return database_.get(); }
    // The platform field of the Template summary property ("Intel", "x64"): the text
    // before its semicolon; empty when the property cannot be read.
    std::wstring templatePlatform() const;
    // Runs a statement with its parameters (may be 0); throws when it fails.
    void execute(const std::wstring& statement, MSIHANDLE parameters = 0);
    // Writes every change into the file; nothing is written before.
    void commit();

private:
    unique_msihandle database_;
};

// The text of a record's field, "" for null.
std::wstring fieldText(MSIHANDLE record, UINT field);
// A statement's identifier or string literal with the quote characters of SQL around it.
std::wstring quoted(const std::wstring& identifier);
std::wstring literal(const std::wstring& text);

}  // namespace tidewell::tools
