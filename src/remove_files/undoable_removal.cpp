#include "remove_files/undoable_removal.h"

#include "common/text.h"
#include "msi/session.h"
#include "remove_files/removal_worker.h"
#include "undo/undo_transaction.h"
#include "win/command_script.h"

namespace tidewell {

void removeFilesUndoable(const ActionLog& log) {
    CommandScript script(&log);
    UndoTransaction transaction(&script, &log);
    removeFiles(log, &transaction);
    script.runForInstallingUser(getProperty(log.installer(), L"UserSID"));
    if (transaction.saveJournal())
        log.line(L"journal " + journalFile() + L" written: " + toDecimal(transaction.itemCount()) +
                 L" items can be undone");
    else
        log.line(L"the removed items stay in the VU_RecycleBin stores; without a journal they cannot be undone");
    transaction.keep();
}

void commitRemoveFiles(const ActionLog& log) {
    CommandScript script(&log);
    UndoTransaction transaction(&script, &log);
    if (transaction.loadJournal())
        log.line(L"deleting " + toDecimal(transaction.itemCount()) + L" removed items for good");
}

void undoRemoveFiles(const ActionLog& log) {
    CommandScript script(&log);
    UndoTransaction transaction(&script, &log);
    if (!transaction.loadJournal()) return;
    log.line(L"putting back " + toDecimal(transaction.itemCount()) + L" removed items");
    transaction.restoreAll();
    script.runForInstallingUser(getProperty(log.installer(), L"UserSID"));
}

}  // namespace tidewell
