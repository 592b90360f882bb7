#include "msi/row_deleter.h"

#include <utility>

#include "msi/statements.h"

namespace tidewell {

RowDeleter::RowDeleter(MSIHANDLE installer, std::wstring table, std::wstring keyColumn)
    : installer_(installer), table_(std::move(table)), keyColumn_(std::move(keyColumn)) {}

UINT RowDeleter::prepare() {
    if (view_) return ERROR_SUCCESS;
    if (!database_) database_.reset(::MsiGetActiveDatabase(installer_));
    if (!database_) return ERROR_INVALID_HANDLE;
    if (!key_) key_.reset(::MsiCreateRecord(1));
    if (!key_) return ERROR_OUTOFMEMORY;
    return ::MsiDatabaseOpenViewW(database_.get(), buildDelete(table_, keyColumn_).c_str(), view_.put());
}

UINT RowDeleter::remove(const std::wstring& key) {
    if (const UINT prepared = prepare(); prepared != ERROR_SUCCESS) return prepared;
    if (const UINT set = ::MsiRecordSetStringW(key_.get(), 1, key.c_str()); set != ERROR_SUCCESS) return set;
    const UINT result = ::MsiViewExecute(view_.get(), key_.get());
    // A view runs again only after it has been closed.
    ::MsiViewClose(view_.get());
    return result;
}

}  // namespace tidewell
