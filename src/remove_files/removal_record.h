#pragma once
// The record of the file-removal work list: a RemoveFile row with its VU_RemoveFile
// extension, written by the immediate action and read back by the deferred ones.
#include <optional>
#include <string>
#include <vector>

#include "msi/action_data.h"
#include "msi/table_reader.h"

namespace tidewell {

struct RemovalRecord {
    std::wstring key;  // FileKey
    std::wstring component;
    std::wstring fileName;  // as stored: "short|long" or a single name; empty for a folder row
    std::wstring folder;    // the resolved DirProperty
    std::wstring installMode;
    std::wstring extensionKey;  // the VU_RemoveFile row's own key
    std::wstring condition;
    int options = 0;
};

// RemoveFile joined with VU_RemoveFile; DirProperty is resolved to its property's value.
// The columns are the record's eight fields in order.
const std::vector<TableSpec>& removeFileSpecs();

// The record of eight fields; nothing for a record of another length.
std::optional<RemovalRecord> parseRemovalRecord(const ActionDataRecord& fields);

}  // namespace tidewell
