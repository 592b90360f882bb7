#include "msi_database.h"

#include <msidefs.h>
#include <wtypes.h>
#include <msiquery.h>

#include <stdexcept>

#include "common/text.h"

namespace tidewell::tools {

namespace {

void check(UINT result, const std::wstring& what) {
    if (result != ERROR_SUCCESS)
        throw std::runtime_error(toUtf8(what) + " failed (error " + std::to_string(result) + ")");
}

std::vector<std::wstring> fieldsOf(MSIHANDLE record, UINT first) {
    std::vector<std::wstring> fields;
    const UINT count = ::MsiRecordGetFieldCount(record);
    for (UINT field = first; field <= count; ++field) fields.push_back(fieldText(record, field));
    return fields;
}

}  // namespace

std::wstring MsiDatabase::templatePlatform() const {
    unique_msihandle summary;
    if (::MsiGetSummaryInformationW(database_.get(), nullptr, 0, summary.put()) != ERROR_SUCCESS) return {};
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    wchar_t small[1] = {};
    DWORD length = 0;
    if (::MsiSummaryInfoGetPropertyW(summary.get(), PID_TEMPLATE, &type, &number, &time, small, &length) !=
            ERROR_MORE_DATA ||
        type != VT_LPSTR)
        return {};
    std::wstring text(length + 1, L'\0');
    length = static_cast<DWORD>(text.size());
    if (::MsiSummaryInfoGetPropertyW(summary.get(), PID_TEMPLATE, &type, &number, &time, text.data(), &length) !=
        ERROR_SUCCESS)
        return {};
    text.resize(length);
    return text.substr(0, text.find(L';'));
}

std::wstring fieldText(MSIHANDLE record, UINT field) {
    if (::MsiRecordIsNull(record, field)) return L"";
    DWORD length = 0;
    wchar_t probe[1] = {0};
    if (::MsiRecordGetStringW(record, field, probe, &length) != ERROR_MORE_DATA) return L"";
    std::wstring text(length + 1, L'\0');
    ++length;
    if (::MsiRecordGetStringW(record, field, text.data(), &length) != ERROR_SUCCESS) return L"";
    text.resize(length);
    return text;
}

std::wstring quoted(const std::wstring& identifier) { return L"`" + identifier + L"`"; }

std::wstring literal(const std::wstring& text) { return L"'" + text + L"'"; }

MsiDatabase::MsiDatabase(const std::wstring& path, OpenMode mode) {
    const auto persist = reinterpret_cast<LPCWSTR>(mode == OpenMode::ReadOnly ? MSIDBOPEN_READONLY : MSIDBOPEN_TRANSACT);
    check(::MsiOpenDatabaseW(path.c_str(), persist, database_.put()),
          L"opening " + path + L" as a Windows Installer database");
}

bool MsiDatabase::hasTable(const std::wstring& table) const {
    return !select(L"SELECT `Name` FROM `_Tables` WHERE `Name`=" + literal(table)).empty();
}

TableSchema MsiDatabase::schema(const std::wstring& table) const {
    unique_msihandle view;
    check(::MsiDatabaseOpenViewW(database_.get(), (L"SELECT * FROM " + quoted(table)).c_str(), view.put()),
          L"reading the columns of " + table);
    TableSchema schema;
    unique_msihandle names, types, keys;
    check(::MsiViewGetColumnInfo(view.get(), MSICOLINFO_NAMES, names.put()), L"column names of " + table);
    check(::MsiViewGetColumnInfo(view.get(), MSICOLINFO_TYPES, types.put()), L"column types of " + table);
    check(::MsiDatabaseGetPrimaryKeysW(database_.get(), table.c_str(), keys.put()), L"primary key of " + table);
    schema.columns = fieldsOf(names.get(), 1);
    schema.types = fieldsOf(types.get(), 1);
    schema.keys = fieldsOf(keys.get(), 1);
    return schema;
}

std::vector<TextRow> MsiDatabase::select(const std::wstring& statement) const {
    unique_msihandle view;
    check(::MsiDatabaseOpenViewW(database_.get(), statement.c_str(), view.put()), statement);
    check(::MsiViewExecute(view.get(), 0), statement);
    std::vector<TextRow> rows;
    unique_msihandle record;
    while (::MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS) rows.push_back(fieldsOf(record.get(), 1));
    return rows;
}

std::string MsiDatabase::stream(const std::wstring& statement, UINT field) const {
    unique_msihandle view, record;
    check(::MsiDatabaseOpenViewW(database_.get(), statement.c_str(), view.put()), statement);
    check(::MsiViewExecute(view.get(), 0), statement);
    if (::MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS) return {};
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD size = sizeof buffer;
        check(::MsiRecordReadStream(record.get(), field, buffer, &size), L"reading the stream of " + statement);
        if (size == 0) break;
        bytes.append(buffer, size);
    }
    return bytes;
}

void MsiDatabase::execute(const std::wstring& statement, MSIHANDLE parameters) {
    unique_msihandle view;
    check(::MsiDatabaseOpenViewW(database_.get(), statement.c_str(), view.put()), statement);
    check(::MsiViewExecute(view.get(), parameters), statement);
}

void MsiDatabase::commit() { check(::MsiDatabaseCommit(database_.get()), L"writing the package"); }

}  // namespace tidewell::tools
