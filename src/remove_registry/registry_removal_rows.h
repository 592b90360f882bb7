#pragma once
// The immediate half of registry removal: RemoveRegistry rows extended by
// VU_RemoveRegistry rows are taken away from Windows Installer, selected by component
// state, install mode and condition, marked with the registry view of their component,
// and handed with ALLUSERS to the removal at commit time (rollback enabled) or in the
// deferred phase (rollback disabled).
#include <windows.h>
#include <msi.h>
#include <string>
#include <vector>

#include "msi/action_log.h"
#include "msi/row_decider.h"
#include "msi/row_deleter.h"
#include "msi/table_reader.h"

namespace tidewell {

inline constexpr wchar_t kRemoveRegsDeferredAction[] = L"VU_VuRemoveRegsDeferred";
inline constexpr wchar_t kRemoveRegsCommitAction[] = L"VU_VuRemoveRegsCommit";

// True when the component's Attributes carry msidbComponentAttributes64bit (0x100).
bool isComponent64Bit(MSIHANDLE installer, const std::wstring& component);

// The row selector: takes every joined row out of RemoveRegistry, then keeps it when its
// component state, install mode and condition say so (the reason goes to the log).
bool selectRegistryRow(const ActionLog& log, RowDeleter& standardRows, RowDecider& decider, TableRow& row);
// The RowAdjuster: DisableWOWRedirection becomes "1" for a 64-bit component, else "0",
// whatever the package authored.
void adjustRegistryRow(const ActionLog& log, TableRow& row);

// OnVuRemoveRegsImmediate: builds the work list and schedules the removal (even with no
// rows). 0, or 1603 when scheduling failed.
UINT scheduleRegistryRemoval(const ActionLog& log);

}  // namespace tidewell
