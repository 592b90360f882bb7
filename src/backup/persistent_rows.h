#pragma once
// The rows of VU_PersistentData that a backup takes: each row's Condition is evaluated
// on the session, and the rows whose condition is true become records of the work list.
#include <windows.h>
#include <msi.h>
#include <string>
#include <vector>

#include "msi/action_log.h"
#include "msi/table_reader.h"

namespace tidewell {

// VU_PersistentData: PersistentRow, Type, Condition, Path (formatted); Condition decides.
const std::vector<TableSpec>& persistentDataSpecs();

// The row groups of the work list, one group per TableSpec (U+0003 between groups): a
// record of its columns for every row whose condition evaluates to true. Unlike the
// other features' rows, an empty condition is not true. Each row taken or skipped is
// logged with the reason; an absent table gives an empty group.
std::wstring collectPersistentRows(MsiTableReader& reader, const ActionLog& log, const std::vector<TableSpec>& specs);

}  // namespace tidewell
