#include "remove_files/remove_files.h"

#include "msi/schedule.h"
#include "msi/session.h"
#include "msi/statements.h"

namespace tidewell {

namespace {
const wchar_t* const kPermanentAction = L"VU_VuRemoveFilesDeferred_Permanent";
const wchar_t* const kUndoableAction = L"VU_VuRemoveFilesDeferred_Undoable";
const wchar_t* const kCommitAction = L"VU_VuRemoveFilesCommit";
}  // namespace

const std::vector<TableSpec>& removeFileSpecs() {
    static const std::vector<TableSpec> specs = {
        {L"RemoveFile",
         {{L"FileKey"}, {L"Component_"}, {L"FileName"}, {L"DirProperty", false, true}, {L"InstallMode"}},
         {}, {}, L"FileKey"},
        {L"VU_RemoveFile", {{L"RemoveFile"}, {L"Condition"}, {L"Options"}}, {}, {}, L"RemoveFile"},
    };
    return specs;
}

bool selectRemoveFileRow(const ActionLog& log, TableRow& row) {
    const MSIHANDLE installer = log.installer();
    const std::wstring key = row.value(L"FileKey");
    // From here on the installer's own RemoveFiles does not see the row, taken or not.
    if (!runCommitted(installer, buildQualifiedDelete(L"RemoveFile", L"FileKey"), {key}))
        log.line(L"row " + key + L": could not delete it from RemoveFile");
    const RowDecision decision =
        decideRow(installer, row.value(L"Component_"), row.value(L"Condition"), row.value(L"InstallMode"));
    if (!decision.taken) {
        log.line(L"row " + key + L" skipped: " + decision.reason);
        return false;
    }
    const std::wstring property = row.value(L"DirProperty");
    if (getProperty(installer, property).empty()) {
        log.line(L"row " + key + L" skipped: folder property '" + property + L"' is not set");
        return false;
    }
    log.line(L"row " + key + L" taken: " + decision.reason);
    return true;
}

UINT removeFilesImmediate(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnVuRemoveFilesImmediate");
    MsiTableReader reader(installer);
    const std::wstring workList =
        collectRows(reader, installer, removeFileSpecs(),
                    [&](const std::wstring&, MSIHANDLE, TableRow& row) { return selectRemoveFileRow(log, row); });
    if (isRollbackEnabled(installer)) {
        if (!scheduleAction(log, kUndoableAction, workList)) return kInstallFailure;
        if (!scheduleAction(log, kCommitAction, std::nullopt)) return kInstallFailure;
    } else {
        if (!scheduleAction(log, kPermanentAction, workList)) return kInstallFailure;
    }
    return ERROR_SUCCESS;
}

}  // namespace tidewell
