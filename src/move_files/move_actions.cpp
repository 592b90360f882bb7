#include "move_files/move_actions.h"

#include "msi/schedule.h"
#include "move_files/move_executor.h"
#include "move_files/move_planner.h"
#include "move_files/move_rows.h"
#include "msi/table_reader.h"

namespace tidewell {

UINT moveFilesImmediate(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnVuMoveFilesImmediate");
    MsiTableReader reader(installer);
    ActionData rows(collectRows(reader, installer, moveTableSpecs(), moveRowSelector(log)));
    rows.parse();
    MovePlanner planner(log);
    planner.load(rows);
    const std::wstring workList = planner.writeWorkList();
    log.line(L"planned " + toDecimal(static_cast<long long>(planner.operations().size())) + L" file operation(s)");
    if (!scheduleAction(log, L"VU_VuMoveFilesRollback", workList)) return kInstallFailure;
    if (!scheduleAction(log, L"VU_VuMoveFilesDeferred", workList)) return kInstallFailure;
    return ERROR_SUCCESS;
}

namespace {

MoveExecutor loadedExecutor(MSIHANDLE installer, const wchar_t* exportName) {
    ActionData data = ActionData::fromSession(installer);
    data.parse();
    MoveExecutor executor{ActionLog(installer, exportName)};
    executor.load(data);
    ActionLog(installer, exportName)
        .line(toDecimal(static_cast<long long>(executor.operations().size())) + L" file operation(s) in the work list");
    return executor;
}

}  // namespace

UINT moveFilesDeferred(MSIHANDLE installer) {
    loadedExecutor(installer, L"OnVuMoveFilesDeferred").run();
    return ERROR_SUCCESS;
}

UINT moveFilesRollback(MSIHANDLE installer) {
    loadedExecutor(installer, L"OnVuMoveFilesRollback").undo();
    return ERROR_SUCCESS;
}

}  // namespace tidewell
