#include "remove_registry/registry_removal_rows.h"

#include "msi/schedule.h"
#include "common/text.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "msi/session.h"
#include "msi/standard_rows.h"
#include "remove_registry/registry_removal_record.h"

namespace tidewell {
namespace {

constexpr int kComponent64Bit = 0x100;  // msidbComponentAttributes64bit

}  // namespace

bool isComponent64Bit(MSIHANDLE installer, const std::wstring& component) {
    const std::wstring attributes = lookupValue(installer, L"Component", L"Component", L"Attributes", component);
    return (parseDecimal(attributes) & kComponent64Bit) != 0;
}

bool selectRegistryRow(const ActionLog& log, RowDeleter& standardRows, RowDecider& decider, TableRow& row) {
    const std::wstring id = row.value(L"RemoveRegistry");
    // Every extended row leaves the standard table, kept or not: Windows Installer must
    // never act on a row this library has taken over.
    takeOverStandardRow(log, standardRows, id);
    const RowDecision decision =
        decider.decide(row.value(L"Component_"), row.value(L"Condition"), row.value(L"InstallMode"));
    log.line({L"row ", id, (decision.taken ? L" taken: " : L" skipped: "), decision.reason});
    return decision.taken;
}

void adjustRegistryRow(const ActionLog& log, TableRow& row) {
    const bool native = isComponent64Bit(log.installer(), row.value(L"Component_"));
    row.set(L"DisableWOWRedirection", native ? L"1" : L"0");
    if (native)
        log.line({L"row ", row.value(L"RemoveRegistry"), L": 64-bit component, removal in the native registry view"});
}

UINT scheduleRegistryRemoval(const ActionLog& log) {
    const MSIHANDLE installer = log.installer();
    MsiTableReader reader(installer);
    RowDeleter standardRows(installer, L"RemoveRegistry", L"RemoveRegistry");
    RowDecider decider(installer);
    std::wstring workList = collectRows(
        log, reader, registryRemovalSpecs(),
        [&](const ActionLog& rowLog, TableRow& row) { return selectRegistryRow(rowLog, standardRows, decider, row); },
        adjustRegistryRow);
    // Every scheduled action is another call of the library, which the installer pays
    // for by extracting the DLL again.
    if (workList.empty()) {
        log.line(L"no row taken: nothing scheduled");
        return ERROR_SUCCESS;
    }
    appendProperties(installer, workList, {L"ALLUSERS"});
    const std::wstring allUsers = getProperty(installer, L"ALLUSERS");
    log.line({L"ALLUSERS is '", allUsers, L"': rows with root -1 go to ",
             (allUsers == L"1" ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER")});
    const bool atCommit = isRollbackEnabled(installer);
    log.line(atCommit ? L"rollback enabled: the removal runs at commit, after the installation has succeeded"
                      : L"rollback disabled: the removal runs in the deferred phase");
    return scheduleAction(log, atCommit ? kRemoveRegsCommitAction : kRemoveRegsDeferredAction, workList)
               ? ERROR_SUCCESS
               : kInstallFailure;
}

}  // namespace tidewell
