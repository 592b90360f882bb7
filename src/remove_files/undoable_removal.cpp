#include "remove_files/undoable_removal.h"

#include "common/text.h"
#include "msi/action_data.h"
#include "msi/run_start.h"
#include "msi/session.h"
#include "remove_files/removal_worker.h"
#include "undo/interrupted_runs.h"
#include "undo/journal_folder.h"
#include "undo/undo_transaction.h"
#include "undo/write_ahead_log.h"
#include "win/command_script.h"

namespace tidewell {

namespace {

std::wstring installation(const ActionLog& log) { return getProperty(log.installer(), L"ProductCode"); }

// A run that was ended before its commit or undo left its journal: what it took goes back
// where nothing stands by now; what cannot go back stays in its store, logged.
void putBackEarlierRun(const ActionLog& log) {
    CommandScript script(&log);
    const std::wstring journal = existingJournalFor(installation(log));
    UndoTransaction earlier(&script, &log, journal);
    // Earlier versions kept one journal for every installation: whichever runs next takes
    // it up. A journal of the installation's own name is its own.
    if (journal != journalFile()) earlier.setOwner(installation(log));
    if (!earlier.journalExists()) return;
    log.line({L"an earlier run left its journal ", earlier.journal(), L": its items go back where nothing stands now"});
    if (!earlier.loadJournal()) return;
    if (!earlier.restoreAll()) log.line(L"items of the earlier run that could not go back stay in their stores");
    script.runForInstallingUser(getProperty(log.installer(), L"UserSID"));
}

}  // namespace

void removeFilesUndoable(const ActionLog& log) {
    putBackEarlierRun(log);
    {
        ActionData data = ActionData::fromSession(log.installer());
        data.parse();
        CommandScript script(&log);
        takeUpInterruptedRuns(script, log, installation(log), runStartOf(data));
        script.runForInstallingUser(getProperty(log.installer(), L"UserSID"));
    }
    CommandScript script(&log);
    UndoTransaction transaction(&script, &log, journalFor(installation(log), &log));
    if (!transaction.beginWriteAhead(installation(log))) {
        log.line(L"nothing is removed: without its undo record the removal could not be undone");
        return;
    }
    removeFiles(log, &transaction);
    script.runForInstallingUser(getProperty(log.installer(), L"UserSID"));
    if (transaction.saveJournal())
        log.line({L"journal ", transaction.journal(), L" written: ", toDecimal(transaction.itemCount()),
                 L" items can be undone"});
    else
        // Each item was named in the write-ahead record before it moved: the commit or the
        // rollback reads them there.
        log.line({L"the removed items stay in the VU_RecycleBin stores; the undo record ",
                  writeAheadFile(transaction.journal()), L" names them for the commit or the rollback"});
    transaction.keep();
}

void commitRemoveFiles(const ActionLog& log) {
    CommandScript script(&log);
    UndoTransaction transaction(&script, &log, existingJournalFor(installation(log)));
    transaction.setOwner(installation(log));
    if (transaction.loadJournal())
        log.line({L"deleting ", toDecimal(transaction.itemCount()), L" removed items for good"});
}

void undoRemoveFiles(const ActionLog& log) {
    CommandScript script(&log);
    UndoTransaction transaction(&script, &log, existingJournalFor(installation(log)));
    transaction.setOwner(installation(log));
    if (!transaction.loadJournal()) return;
    log.line({L"putting back ", toDecimal(transaction.itemCount()), L" removed items"});
    transaction.restoreAll();
    script.runForInstallingUser(getProperty(log.installer(), L"UserSID"));
}

}  // namespace tidewell
