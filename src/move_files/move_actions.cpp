#include "move_files/move_actions.h"

#include "common/text.h"
#include "move_files/move_executor.h"
#include "move_files/move_planner.h"
#include "move_files/move_rows.h"
#include "msi/schedule.h"
#include "msi/table_reader.h"

namespace tidewell {

UINT moveFilesImmediate(const ActionLog& log) {
    MsiTableReader reader(log.installer());
    MovePlanner planner(log);
    planner.load(selectMoveRows(log, reader));
    const std::wstring workList = planner.writeWorkList();
    log.line({L"planned ", toDecimal(static_cast<long long>(planner.operations().size())), L" file operation(s)"});
    // Every scheduled action is another call of the library, which the installer pays
    // for by extracting the DLL again.
    if (planner.operations().empty()) {
        log.line(L"nothing scheduled");
        return ERROR_SUCCESS;
    }
    if (!scheduleAction(log, L"VU_VuMoveFilesRollback", workList)) return kInstallFailure;
    if (!scheduleAction(log, L"VU_VuMoveFilesDeferred", workList)) return kInstallFailure;
    return ERROR_SUCCESS;
}

namespace {

void loadWorkList(MoveExecutor& executor, const ActionLog& log) {
    ActionData data = ActionData::fromSession(log.installer());
    data.parse();
    executor.load(data);
    log.line({toDecimal(static_cast<long long>(executor.operations().size())), L" file operation(s) in the work list"});
}

}  // namespace

void moveFilesDeferred(const ActionLog& log) {
    MoveExecutor executor(log);
    loadWorkList(executor, log);
    executor.run();
}

void moveFilesRollback(const ActionLog& log) {
    MoveExecutor executor(log);
    loadWorkList(executor, log);
    executor.undo();
}

}  // namespace tidewell
