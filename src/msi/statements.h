#pragma once
// The Windows Installer SQL texts the library runs, and how they are run.
// Names stand in backquotes. Values given by the package (row keys) are passed as
// parameters, never pasted into the text: a key holding a quote must neither break the
// statement nor change what it deletes.
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

// SELECT * | columns FROM `table` [WHERE condition] [ORDER BY order]
std::wstring buildSelect(const std::wstring& table, const std::vector<std::wstring>& columns = {},
                         const std::vector<std::wstring>& order = {}, const std::wstring& condition = {});

// SELECT * FROM `A`, `B` WHERE `A`.`a` = `B`.`b` [AND `A`.`a` = `C`.`c` ...]:
// every later table is compared with the first table's join column.
std::wstring buildJoinedSelect(const std::vector<std::pair<std::wstring, std::wstring>>& tablesAndJoinColumns);

// DELETE FROM `table` WHERE `column`=? (the value goes in as a parameter)
std::wstring buildDelete(const std::wstring& table, const std::wstring& column);

// Opens and executes the statement into the holder, with the texts as the values of its
// ? markers in order; 0, or the error of the step that failed.
UINT runQuery(MSIHANDLE database, const std::wstring& statement, MsiHandleHolder& view,
              const std::vector<std::wstring>& parameters = {});

}  // namespace tidewell
