#include "msi/table_reader.h"

#include <cwctype>

#include "common/text.h"
#include "msi/action_data.h"
#include "msi/statements.h"

namespace tidewell {

std::wstring TableRow::value(const std::wstring& column) const {
    const auto found = values_.find(column);
    return found == values_.end() ? std::wstring() : found->second;
}

MsiTableReader::MsiTableReader(MSIHANDLE installer) {
    reset();
    if (::MsiGetDatabaseState(installer) != MSIDBSTATE_ERROR) {
        database_ = installer;
    } else {
        ownedDatabase_.reset(::MsiGetActiveDatabase(installer));
        database_ = ownedDatabase_.get();
    }
    if (database_ == 0) ok_ = false;
}

MsiTableReader::~MsiTableReader() { reset(); }

void MsiTableReader::reset() {
    ok_ = true;
    error_ = ERROR_SUCCESS;
    tableName_.clear();
    columnNames_.clear();
    columnTypes_.clear();
    rows_.clear();
    streams_.clear();
    if (view_) ::MsiViewClose(view_.get());
    view_.reset();
}

bool MsiTableReader::openTable(const std::wstring& table, const std::vector<std::wstring>& columns,
                               const std::vector<std::wstring>& order, const std::wstring& condition) {
    reset();
    tableName_ = table;
    return run(buildSelect(table, columns, order, condition));
}

bool MsiTableReader::openJoin(const std::vector<TableSpec>& specs) {
    reset();
    tableName_ = L"{JOIN Table}";
    std::vector<std::pair<std::wstring, std::wstring>> tables;
    for (const auto& spec : specs) tables.emplace_back(spec.name, spec.joinColumn);
    return run(buildJoinedSelect(tables));
}

bool MsiTableReader::run(const std::wstring& statement) {
    error_ = database_ == 0 ? static_cast<UINT>(ERROR_INVALID_HANDLE) : runQuery(database_, statement, view_);
    ok_ = error_ == ERROR_SUCCESS;
    if (!ok_) return false;

    MsiHandleHolder names;
    if (::MsiViewGetColumnInfo(view_.get(), MSICOLINFO_NAMES, names.put()) == ERROR_SUCCESS) {
        const UINT count = ::MsiRecordGetFieldCount(names.get());
        for (UINT field = 1; field <= count; ++field) columnNames_.push_back(recordString(names.get(), field));
    }
    MsiHandleHolder types;
    if (::MsiViewGetColumnInfo(view_.get(), MSICOLINFO_TYPES, types.put()) == ERROR_SUCCESS) {
        const UINT count = ::MsiRecordGetFieldCount(types.get());
        for (UINT field = 1; field <= count; ++field) {
            const std::wstring type = recordString(types.get(), field);
            columnTypes_.push_back(type.empty() ? L'\0' : static_cast<wchar_t>(std::towlower(type[0])));
        }
    }

    MsiHandleHolder record;
    while (::MsiViewFetch(view_.get(), record.put()) == ERROR_SUCCESS) {
        TableRow row;
        for (size_t column = 0; column < columnNames_.size() && column < columnTypes_.size(); ++column) {
            const UINT field = static_cast<UINT>(column + 1);
            switch (columnTypes_[column]) {
            case L'i': {
                const int value = ::MsiRecordGetInteger(record.get(), field);
                row.set(columnNames_[column], value == static_cast<int>(MSI_NULL_INTEGER) ? std::wstring() : toDecimal(value));
                break;
            }
            case L's':
            case L'l':
                row.set(columnNames_[column], recordString(record.get(), field));
                break;
            case L'v': {
                row.set(columnNames_[column], L"{Binary Data}");
                DWORD size = 0;
                std::vector<unsigned char> bytes;
                if (::MsiRecordReadStream(record.get(), field, nullptr, &size) == ERROR_SUCCESS && size > 0) {
                    bytes.resize(size);
                    if (::MsiRecordReadStream(record.get(), field, reinterpret_cast<char*>(bytes.data()), &size) !=
                        ERROR_SUCCESS)
                        bytes.clear();
                    else
                        bytes.resize(size);
                }
                streams_.push_back(std::move(bytes));
                break;
            }
            default:
                break;
            }
        }
        rows_.push_back(std::move(row));
    }
    return !rows_.empty();
}

bool MsiTableReader::hasTable(const std::wstring& table) const {
    if (database_ == 0) return false;
    MsiHandleHolder view;
    if (runQuery(database_, L"SELECT `Name` FROM `_Tables` WHERE `Name`=?", view, {table}) != ERROR_SUCCESS)
        return false;
    MsiHandleHolder record;
    return ::MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS;
}

namespace {

// Why a read gave no rows, when it is not simply an empty table.
void logUnreadTables(const ActionLog& log, const MsiTableReader& reader, const std::vector<TableSpec>& specs) {
    bool absent = false;
    for (const auto& spec : specs) {
        if (reader.hasTable(spec.name)) continue;
        absent = true;
        log.line({L"table ", spec.name, L" is absent: no rows taken from it"});
    }
    if (!absent) log.line({L"could not read the rows (error ", toDecimal(reader.error()), L")"});
}

}  // namespace

std::vector<ActionDataRecord> selectRows(const ActionLog& log, MsiTableReader& reader,
                                         const std::vector<TableSpec>& specs, const RowSelector& selector,
                                         const RowAdjuster& adjuster) {
    std::vector<ActionDataRecord> records;
    if (specs.empty()) return records;
    if (specs.size() == 1) reader.openTable(specs.front().name, {}, specs.front().order);
    else reader.openJoin(specs);
    if (!reader.ok()) {
        logUnreadTables(log, reader, specs);
        return records;
    }
    const MSIHANDLE installer = log.installer();
    for (auto& row : reader.rows()) {
        if (selector && !selector(log, row)) continue;
        if (adjuster) adjuster(log, row);
        ActionDataRecord fields;
        bool splits = false;
        for (const auto& spec : specs) {
            for (const auto& column : spec.columns) {
                std::wstring value = row.value(column.name);
                if (column.property && !value.empty()) value = getProperty(installer, value);
                if (column.format) value = formatText(installer, value);
                splits = splits || holdsSeparator(value);
                fields.push_back(std::move(value));
            }
        }
        // The work list has no escaping: such a value would make records of its own.
        if (splits) {
            log.line({L"row ", (fields.empty() ? std::wstring() : stripSeparators(fields.front())),
                      L" skipped: a value holds a work-list separator (U+0001 to U+0003)"});
            continue;
        }
        records.push_back(std::move(fields));
    }
    return records;
}

std::wstring collectRows(const ActionLog& log, MsiTableReader& reader, const std::vector<TableSpec>& specs,
                         const RowSelector& selector, const RowAdjuster& adjuster) {
    return joinRecords(selectRows(log, reader, specs, selector, adjuster));
}

std::wstring lookupValue(MSIHANDLE installer, const std::wstring& keyColumn, const std::wstring& table,
                         const std::wstring& resultColumn, const std::wstring& keyValue) {
    // The key is compared here rather than pasted into a WHERE clause, so that any key
    // text (quotes included) is matched exactly.
    MsiTableReader reader(installer);
    reader.openTable(table, {keyColumn, resultColumn});
    std::wstring result;
    for (const auto& row : reader.rows())
        if (row.value(keyColumn) == keyValue) result = row.value(resultColumn);
    return result;
}

}  // namespace tidewell
