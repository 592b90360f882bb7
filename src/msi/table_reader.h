#pragma once
// Reads package tables into memory: one table, or a standard table joined with the
// custom table that extends it, and decides row by row which rows a feature carries
// over to its scheduled action.
#include <windows.h>
#include <msi.h>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "msi/action_data.h"
#include "msi/action_log.h"
#include "msi/session.h"

namespace tidewell {

struct ColumnSpec {
    std::wstring name;
    bool format = false;    // expanded with formatText before it is written
    bool property = false;  // a property name, replaced by the property's value when not empty
};

struct TableSpec {
    std::wstring name;
    std::vector<ColumnSpec> columns;
    std::vector<std::wstring> order{};  // ORDER BY for a single-table read
    std::wstring joinColumn{};          // compared in the joined select
};

// One fetched row: column name to text. Columns of unsupported types have no entry.
class TableRow {
public:
    std::wstring value(const std::wstring& column) const;
    void set(const std::wstring& column, std::wstring text) { values_[column] = std::move(text); }
    bool has(const std::wstring& column) const { return values_.count(column) != 0; }

private:
    std::map<std::wstring, std::wstring> values_;
};

class MsiTableReader {
public:
    // Uses the handle itself when it is a database, else the session's active database.
    explicit MsiTableReader(MSIHANDLE installer);
    MsiTableReader(const MsiTableReader&) = delete;
    MsiTableReader& operator=(const MsiTableReader&) = delete;
    ~MsiTableReader();

    // Both read every row before returning; true when at least one row was fetched.
    bool openTable(const std::wstring& table, const std::vector<std::wstring>& columns = {},
                   const std::vector<std::wstring>& order = {}, const std::wstring& condition = {});
    bool openJoin(const std::vector<TableSpec>& specs);

    bool ok() const { return ok_; }
    // The error of the last statement that could not run; 0 after one that ran.
    UINT error() const { return error_; }
    // Whether the database has the table (read from _Tables).
    bool hasTable(const std::wstring& table) const;
    const std::wstring& tableName() const { return tableName_; }
    const std::vector<std::wstring>& columnNames() const { return columnNames_; }
    const std::vector<wchar_t>& columnTypes() const { return columnTypes_; }
    std::vector<TableRow>& rows() { return rows_; }
    const std::vector<std::vector<unsigned char>>& streams() const { return streams_; }

private:
    void reset();
    bool run(const std::wstring& statement);

    std::wstring tableName_;
    std::vector<std::wstring> columnNames_;
    std::vector<wchar_t> columnTypes_;
    std::vector<TableRow> rows_;
    std::vector<std::vector<unsigned char>> streams_;
    MsiHandleHolder ownedDatabase_;
    MSIHANDLE database_ = 0;
    MsiHandleHolder view_;
    bool ok_ = true;
    UINT error_ = ERROR_SUCCESS;
};

// Decides whether a row is carried over; logs why not.
using RowSelector = std::function<bool(const ActionLog& log, TableRow& row)>;
// Changes a kept row before its fields are taken.
using RowAdjuster = std::function<void(const ActionLog& log, TableRow& row)>;

// Reads the specs' tables (one table in its order, or the first joined with the others),
// lets the selector and adjuster see each row, and returns the kept rows: for each, the
// values of the specs' columns in order, properties resolved and formats expanded. A
// table that is absent, or a read that fails, is logged and gives no rows.
std::vector<ActionDataRecord> selectRows(const ActionLog& log, MsiTableReader& reader,
                                         const std::vector<TableSpec>& specs, const RowSelector& selector = {},
                                         const RowAdjuster& adjuster = {});

// The rows of selectRows as one row group of a work list.
std::wstring collectRows(const ActionLog& log, MsiTableReader& reader, const std::vector<TableSpec>& specs,
                         const RowSelector& selector = {}, const RowAdjuster& adjuster = {});

// The result column of the last row whose key column equals the key; empty when none.
std::wstring lookupValue(MSIHANDLE installer, const std::wstring& keyColumn, const std::wstring& table,
                         const std::wstring& resultColumn, const std::wstring& keyValue);

}  // namespace tidewell
