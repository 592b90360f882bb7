#pragma once
// Deletes rows of one table of the running installation's database by their key, row
// after row. Every installer call from a custom action is a message to the installer's
// process, so the statement is prepared once, on the first row, and run again for each
// further key with the same parameter record.
#include <windows.h>
#include <msi.h>
#include <string>

#include "msi/session.h"

namespace tidewell {

class RowDeleter {
public:
    // Prepares nothing yet: an action that finds no rows pays for no statement.
    RowDeleter(MSIHANDLE installer, std::wstring table, std::wstring keyColumn);
    RowDeleter(const RowDeleter&) = delete;
    RowDeleter& operator=(const RowDeleter&) = delete;

    const std::wstring& table() const { return table_; }

    // Deletes the rows whose key column holds the key, uncommitted; 0, or the error of the
    // step that failed (ERROR_INVALID_HANDLE when there is no active database). A statement
    // that could not be prepared is tried again for the next key.
    UINT remove(const std::wstring& key);

private:
    UINT prepare();

    MSIHANDLE installer_;
    std::wstring table_;
    std::wstring keyColumn_;
    MsiHandleHolder database_;
    MsiHandleHolder view_;
    MsiHandleHolder key_;
};

}  // namespace tidewell
