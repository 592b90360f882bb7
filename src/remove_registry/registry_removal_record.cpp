#include "remove_registry/registry_removal_record.h"

#include "common/text.h"

namespace tidewell {

namespace {
enum Field : size_t {
    kIdField, kRootField, kKeyField, kNameField, kComponentField,
    kExtensionKeyField, kInstallModeField, kConditionField, kNativeViewField, kRecordFields
};
}  // namespace

const std::vector<TableSpec>& registryRemovalSpecs() {
    static const std::vector<TableSpec> specs{
        {.name = L"RemoveRegistry",
         .columns = {{.name = L"RemoveRegistry"}, {.name = L"Root"}, {.name = L"Key", .format = true},
                     {.name = L"Name", .format = true}, {.name = L"Component_"}},
         .joinColumn = L"RemoveRegistry"},
        {.name = L"VU_RemoveRegistry",
         .columns = {{.name = L"RemoveReg"}, {.name = L"InstallMode"}, {.name = L"Condition"},
                     {.name = L"DisableWOWRedirection"}},
         .joinColumn = L"RemoveReg"},
    };
    return specs;
}

std::optional<RegistryRemovalRecord> parseRegistryRemovalRecord(const ActionDataRecord& fields) {
    if (fields.size() != kRecordFields) return std::nullopt;
    return RegistryRemovalRecord{.id = fields[kIdField],
                                 .root = parseDecimal(fields[kRootField]),
                                 .key = fields[kKeyField],
                                 .name = fields[kNameField],
                                 .component = fields[kComponentField],
                                 .extensionKey = fields[kExtensionKeyField],
                                 .installMode = fields[kInstallModeField],
                                 .condition = fields[kConditionField],
                                 .useNativeView = fields[kNativeViewField] == L"1"};
}

}  // namespace tidewell
