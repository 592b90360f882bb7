#pragma once
// The rows of VU_PersistentData that a backup takes, and their record in the backup's
// work list: each row's Condition is evaluated on the session, and the rows whose
// condition is true become items.
#include <windows.h>
#include <msi.h>
#include <optional>
#include <string>
#include <vector>

#include "msi/action_data.h"
#include "msi/action_log.h"
#include "msi/table_reader.h"

namespace tidewell {

// One row of VU_PersistentData as the work list carries it.
struct PersistentItem {
    std::wstring persistentRow;
    int type = 0;  // 2: path starts with a root number
    std::wstring condition;
    std::wstring path;
};

inline constexpr int kRegistryRootNumberType = 2;

// VU_PersistentData: PersistentRow, Type, Condition, Path (formatted), which is also the
// order of a work-list record's four fields.
const std::vector<TableSpec>& persistentDataSpecs();

// The item of a four-field work-list record; nothing for a record of another length.
std::optional<PersistentItem> parsePersistentItem(const ActionDataRecord& record);

// The items of every row whose condition evaluates to true. Unlike the other features'
// rows, an empty condition is not true. Each row taken or skipped is logged with the
// reason; an absent table gives no items.
std::vector<PersistentItem> selectPersistentItems(const ActionLog& log, MsiTableReader& reader);

}  // namespace tidewell
