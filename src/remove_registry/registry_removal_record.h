#pragma once
// The record of the registry-removal work list: a RemoveRegistry row with its
// VU_RemoveRegistry extension, written by the immediate action and read back by the
// deferred or commit one.
#include <optional>
#include <string>
#include <vector>

#include "msi/action_data.h"
#include "msi/table_reader.h"

namespace tidewell {

struct RegistryRemovalRecord {
    std::wstring id;  // the RemoveRegistry row
    int root = 0;     // -1 (by ALLUSERS), 0 to 3, anything else counts as HKLM
    std::wstring key;   // subkey path below the root, expanded
    std::wstring name;  // "-": the whole key; else the value (empty: the default value), expanded
    std::wstring component;
    std::wstring extensionKey;  // the VU_RemoveRegistry row's own key
    std::wstring installMode;
    std::wstring condition;
    bool useNativeView = false;  // DisableWOWRedirection: the row's component is 64-bit
};

// RemoveRegistry joined with VU_RemoveRegistry; Key and Name are expanded. The columns
// are the record's nine fields in order.
const std::vector<TableSpec>& registryRemovalSpecs();

// The record of nine fields; nothing for a record of another length. Only exactly "1"
// in the last field asks for the native view.
std::optional<RegistryRemovalRecord> parseRegistryRemovalRecord(const ActionDataRecord& fields);

}  // namespace tidewell
