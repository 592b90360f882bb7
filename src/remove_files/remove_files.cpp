#include "remove_files/remove_files.h"

#include "common/text.h"
#include "msi/run_start.h"
#include "msi/schedule.h"
#include "msi/session.h"
#include "msi/standard_rows.h"
#include "remove_files/removal_record.h"

namespace tidewell {

namespace {
const wchar_t* const kPermanentAction = L"VU_VuRemoveFilesDeferred_Permanent";
const wchar_t* const kUndoableAction = L"VU_VuRemoveFilesDeferred_Undoable";
const wchar_t* const kCommitAction = L"VU_VuRemoveFilesCommit";
}  // namespace

bool selectRemoveFileRow(const ActionLog& log, RowDeleter& standardRows, RowDecider& decider, TableRow& row) {
    const MSIHANDLE installer = log.installer();
    const std::wstring key = row.value(L"FileKey");
    // From here on the installer's own RemoveFiles does not see the row, taken or not.
    takeOverStandardRow(log, standardRows, key);
    const RowDecision decision =
        decider.decide(row.value(L"Component_"), row.value(L"Condition"), row.value(L"InstallMode"));
    if (!decision.taken) {
        log.line({L"row ", key, L" skipped: ", decision.reason});
        return false;
    }
    const std::wstring property = row.value(L"DirProperty");
    if (getProperty(installer, property).empty()) {
        log.line({L"row ", key, L" skipped: folder property '", property, L"' is not set"});
        return false;
    }
    log.line({L"row ", key, L" taken: ", decision.reason});
    return true;
}

UINT removeFilesImmediate(const ActionLog& log) {
    MsiTableReader reader(log.installer());
    RowDeleter standardRows(log.installer(), L"RemoveFile", L"FileKey");
    RowDecider decider(log.installer());
    const std::wstring workList =
        collectRows(log, reader, removeFileSpecs(), [&](const ActionLog& rowLog, TableRow& row) {
            return selectRemoveFileRow(rowLog, standardRows, decider, row);
        });
    // Every scheduled action is another call of the library, which the installer pays
    // for by extracting the DLL again.
    if (workList.empty()) {
        log.line(L"no row taken: nothing scheduled");
        return ERROR_SUCCESS;
    }
    if (isRollbackEnabled(log.installer())) {
        // The moment this installation began tells its own records from those of runs that
        // were ended before it.
        if (!scheduleAction(log, kUndoableAction, concat({workList, std::wstring(1, kGroupSeparator), runStartGroup()})))
            return kInstallFailure;
        if (!scheduleAction(log, kCommitAction, std::nullopt)) return kInstallFailure;
    } else {
        if (!scheduleAction(log, kPermanentAction, workList)) return kInstallFailure;
    }
    return ERROR_SUCCESS;
}

}  // namespace tidewell
