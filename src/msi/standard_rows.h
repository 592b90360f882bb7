#pragma once
// A row of a standard table that a custom VU_ table extends belongs to this library: the
// immediate action that reads the extension takes the standard row away from Windows
// Installer, whether it then keeps the row or not.
#include <string>

#include "msi/action_log.h"
#include "msi/row_deleter.h"

namespace tidewell {

// Deletes the row whose key column holds the key from the running installation's table
// (never from the package file) through the action's deleter of that table; a failure is
// logged with its error code, since Windows Installer may then still act on the row.
void takeOverStandardRow(const ActionLog& log, RowDeleter& standardRows, const std::wstring& key);

}  // namespace tidewell
