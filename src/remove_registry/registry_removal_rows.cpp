#include "remove_registry/registry_removal_rows.h"

#include "msi/schedule.h"
#include "common/text.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "msi/session.h"
#include "msi/statements.h"

namespace tidewell {
namespace {

constexpr wchar_t kImmediateExport[] = L"OnVuRemoveRegsImmediate";
constexpr int kComponent64Bit = 0x100;  // msidbComponentAttributes64bit

}  // namespace

const std::vector<TableSpec>& registryRemovalSpecs() {
    static const std::vector<TableSpec> specs{
        {L"RemoveRegistry",
         {{L"RemoveRegistry"}, {L"Root"}, {L"Key", true}, {L"Name", true}, {L"Component_"}},
         {},
         {},
         L"RemoveRegistry"},
        {L"VU_RemoveRegistry",
         {{L"RemoveReg"}, {L"InstallMode"}, {L"Condition"}, {L"DisableWOWRedirection"}},
         {},
         {},
         L"RemoveReg"},
    };
    return specs;
}

bool deleteStandardRegistryRow(MSIHANDLE installer, const std::wstring& removeRegistry) {
    return runCommitted(installer, buildQualifiedDelete(L"RemoveRegistry", L"RemoveRegistry"), {removeRegistry});
}

bool isComponent64Bit(MSIHANDLE installer, const std::wstring& component) {
    const std::wstring attributes = lookupValue(installer, L"Component", L"Component", L"Attributes", component);
    return (parseDecimal(attributes) & kComponent64Bit) != 0;
}

bool selectRegistryRow(const std::wstring&, MSIHANDLE installer, TableRow& row) {
    const ActionLog log(installer, kImmediateExport);
    const std::wstring id = row.value(L"RemoveRegistry");
    // Every extended row leaves the standard table, kept or not: Windows Installer must
    // never act on a row this library has taken over.
    if (!deleteStandardRegistryRow(installer, id))
        log.line(L"row " + id + L": could not take it out of RemoveRegistry; Windows Installer may still act on it");
    const RowDecision decision =
        decideRow(installer, row.value(L"Component_"), row.value(L"Condition"), row.value(L"InstallMode"));
    log.line(L"row " + id + (decision.taken ? L" taken: " : L" skipped: ") + decision.reason);
    return decision.taken;
}

bool adjustRegistryRow(const std::wstring&, MSIHANDLE installer, TableRow& row) {
    const bool native = isComponent64Bit(installer, row.value(L"Component_"));
    row.set(L"DisableWOWRedirection", native ? L"1" : L"0");
    if (native)
        ActionLog(installer, kImmediateExport)
            .line(L"row " + row.value(L"RemoveRegistry") + L": 64-bit component, removal in the native registry view");
    return true;
}

UINT scheduleRegistryRemoval(MSIHANDLE installer) {
    const ActionLog log(installer, kImmediateExport);
    MsiTableReader reader(installer);
    std::wstring workList =
        collectRows(reader, installer, registryRemovalSpecs(), selectRegistryRow, adjustRegistryRow);
    appendProperties(installer, workList, {L"ALLUSERS"});
    const std::wstring allUsers = getProperty(installer, L"ALLUSERS");
    log.line(L"ALLUSERS is '" + allUsers + L"': rows with root -1 go to " +
             (allUsers == L"1" ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER"));
    const bool atCommit = isRollbackEnabled(installer);
    log.line(atCommit ? L"rollback enabled: the removal runs at commit, after the installation has succeeded"
                      : L"rollback disabled: the removal runs in the deferred phase");
    return scheduleAction(log, atCommit ? kRemoveRegsCommitAction : kRemoveRegsDeferredAction, workList)
               ? ERROR_SUCCESS
               : kInstallFailure;
}

}  // namespace tidewell
