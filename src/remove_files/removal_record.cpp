#include "remove_files/removal_record.h"

#include "common/text.h"

namespace tidewell {

namespace {
enum Field : size_t {
    kKeyField, kComponentField, kFileNameField, kFolderField, kInstallModeField,
    kExtensionKeyField, kConditionField, kOptionsField, kRecordFields
};
}  // namespace

const std::vector<TableSpec>& removeFileSpecs() {
    static const std::vector<TableSpec> specs = {
        {.name = L"RemoveFile",
         .columns = {{.name = L"FileKey"}, {.name = L"Component_"}, {.name = L"FileName"},
                     {.name = L"DirProperty", .property = true}, {.name = L"InstallMode"}},
         .joinColumn = L"FileKey"},
        {.name = L"VU_RemoveFile",
         .columns = {{.name = L"RemoveFile"}, {.name = L"Condition"}, {.name = L"Options"}},
         .joinColumn = L"RemoveFile"},
    };
    return specs;
}

std::optional<RemovalRecord> parseRemovalRecord(const ActionDataRecord& fields) {
    if (fields.size() != kRecordFields) return std::nullopt;
    return RemovalRecord{.key = fields[kKeyField],
                         .component = fields[kComponentField],
                         .fileName = fields[kFileNameField],
                         .folder = fields[kFolderField],
                         .installMode = fields[kInstallModeField],
                         .extensionKey = fields[kExtensionKeyField],
                         .condition = fields[kConditionField],
                         .options = parseDecimal(fields[kOptionsField])};
}

}  // namespace tidewell
