#include "remove_files/undoable_removal.h"

#include "common/text.h"
#include "remove_files/removal_worker.h"
#include "undo/undo_transaction.h"
#include "win/command_script.h"

namespace tidewell {

UINT removeFilesUndoable(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnVuRemoveFilesUndoable");
    CommandScript script(&log);
    UndoTransaction transaction(&script, &log);
    const UINT result = removeFiles(log, &transaction);
    if (!script.runForInstallingUsers())
        log.line(L"no installer process of a user was found: network items stay in place");
    if (transaction.saveJournal())
        log.line(L"journal " + journalFile() + L" written: " + toDecimal(transaction.itemCount()) +
                 L" items can be undone");
    else
        log.line(L"the removed items stay in the VU_RecycleBin stores; without a journal they cannot be undone");
    transaction.keep();
    return result;
}

UINT commitRemoveFiles(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnVuRemoveFilesCommit");
    CommandScript script(&log);
    UndoTransaction transaction(&script, &log);
    if (transaction.loadJournal())
        log.line(L"deleting " + toDecimal(transaction.itemCount()) + L" removed items for good");
    return ERROR_SUCCESS;
}

UINT undoRemoveFiles(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnVuUndoRemoveFiles");
    CommandScript script(&log);
    UndoTransaction transaction(&script, &log);
    if (!transaction.loadJournal()) return ERROR_SUCCESS;
    log.line(L"putting back " + toDecimal(transaction.itemCount()) + L" removed items");
    transaction.restoreAll();
    if (!script.runForInstallingUsers()) transaction.keepNetworkStores();
    return ERROR_SUCCESS;
}

}  // namespace tidewell
