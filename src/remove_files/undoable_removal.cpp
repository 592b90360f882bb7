#include "remove_files/undoable_removal.h"

#include "common/text.h"
#include "remove_files/removal_worker.h"
#include "undo/undo_transaction.h"
#include "win/user_script.h"

namespace tidewell {

namespace {
std::wstring itemCount(const UndoTransaction& transaction) {
    size_t items = 0;
    for (const auto& entry : transaction.fileStores()) items += entry.second->storedOf().size();
    return toDecimal(static_cast<long long>(items));
}
}  // namespace

void removeFilesUndoable(const ActionLog& log) {
    UserScript script(&log);
    UndoTransaction transaction(&script, &log);
    removeFiles(log, &transaction);
    if (script.hasCommands()) {
        const std::vector<std::wstring> images = msiexecImages();
        if (!script.run(&images)) log.line(L"no installer process of a user was found: network items stay in place");
    }
    if (transaction.saveJournal())
        log.line(L"journal " + journalFile() + L" written: " + itemCount(transaction) + L" items can be undone");
    else
        log.line(L"the removed items stay in the VU_RecycleBin stores; without a journal they cannot be undone");
    transaction.keep();
}

void commitRemoveFiles(const ActionLog& log) {
    UserScript script(&log);
    UndoTransaction transaction(&script, &log);
    if (transaction.loadJournal())
        log.line(L"deleting " + itemCount(transaction) + L" removed items for good");
}

void undoRemoveFiles(const ActionLog& log) {
    UserScript script(&log);
    UndoTransaction transaction(&script, &log);
    if (!transaction.loadJournal()) return;
    log.line(L"putting back " + itemCount(transaction) + L" removed items");
    transaction.restoreAll();
    if (script.hasCommands()) {
        const std::vector<std::wstring> images = msiexecImages();
        if (!script.run(&images)) transaction.keepNetworkStores();
    }
}

}  // namespace tidewell
