#pragma once
// The Windows Installer SQL texts the library runs, and the two ways of running them.
// Names stand in backquotes; values stand in single quotes as they are (a quote inside
// a value makes the statement fail to open rather than change its meaning).
#include <windows.h>
#include <msi.h>
#include <string>
#include <utility>
#include <vector>

#include "msi/session.h"

namespace tidewell {

std::wstring quoteName(const std::wstring& name);
// Names in backquotes joined by "," with no space.
std::wstring nameList(const std::vector<std::wstring>& names);
// `column` = 'value'
std::wstring keyCondition(const std::wstring& column, const std::wstring& value);

// SELECT * | columns FROM `table` [WHERE condition] [ORDER BY order]
std::wstring buildSelect(const std::wstring& table, const std::vector<std::wstring>& columns = {},
                         const std::vector<std::wstring>& order = {}, const std::wstring& condition = {});

// SELECT * FROM `A`, `B` WHERE `A`.`a` = `B`.`b` [AND `A`.`a` = `C`.`c` ...]:
// every later table is compared with the first table's join column.
std::wstring buildJoinedSelect(const std::vector<std::pair<std::wstring, std::wstring>>& tablesAndJoinColumns);

// DELETE FROM `table` WHERE `column`='value'
std::wstring buildDelete(const std::wstring& table, const std::wstring& column, const std::wstring& value);

// DELETE FROM `table` WHERE `table`.`column`='value' (the removal features' form)
std::wstring buildQualifiedDelete(const std::wstring& table, const std::wstring& column,
                                  const std::wstring& value);

// Opens and executes the statement into the holder; true when both worked.
bool runQuery(MSIHANDLE database, const std::wstring& statement, MsiHandleHolder& view);

// Deletes matching rows of the running installation's database, uncommitted.
bool deleteRow(MSIHANDLE installer, const std::wstring& table, const std::wstring& column,
               const std::wstring& value);

// Runs the statement on the active database and commits it; true when all three worked.
bool runCommitted(MSIHANDLE installer, const std::wstring& statement);

}  // namespace tidewell
