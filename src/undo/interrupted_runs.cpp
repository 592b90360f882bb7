#include "undo/interrupted_runs.h"

#include <map>

#include "common/text.h"
#include "undo/journal_file.h"
#include "undo/journal_folder.h"
#include "undo/undo_transaction.h"
#include "undo/write_ahead_log.h"
#include "win/folder_entries.h"
#include "win/named_object.h"
#include "win/paths.h"

namespace tidewell {

namespace {

bool endsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && sameName(text.substr(text.size() - tail.size()), tail);
}

// The journal a record file belongs to: "VUBB_x.tmp" for "VUBB_x.tmp", "VUBB_x.tmp.ahead",
// "VUBB_x.tmp.leftover" and their pending ".new" files; empty for any other name.
std::wstring journalOf(std::wstring name) {
    const std::wstring journal = L"x.tmp";
    if (endsWith(name, pendingFile(journal).substr(journal.size()))) name.resize(name.size() - 4);
    for (const std::wstring& record : {writeAheadFile(journal), leftoverFile(journal)}) {
        const std::wstring suffix = record.substr(journal.size());
        if (endsWith(name, suffix)) {
            name.resize(name.size() - suffix.size());
            break;
        }
    }
    if (name.size() <= 9 || !sameName(name.substr(0, 5), L"VUBB_") || !endsWith(name, L".tmp")) return {};
    return name;
}

}  // namespace

void takeUpInterruptedRuns(CommandScript& script, const LogSink& log, const std::wstring& installation,
                           std::optional<ULONGLONG> begun) {
    if (!begun) return;
    const std::wstring folder = journalFolderPath();
    if (folder.empty()) return;
    std::vector<FolderEntry> entries;
    if (!listFolder(folder, entries) || entries.empty()) return;
    if (!journalFolderIsTrusted()) {
        log.line({L"the journal folder ", folder, L" is not the library's own: the journals in it are left alone"});
        return;
    }
    // Journal -> the newest write of any of its files.
    std::map<std::wstring, ULONGLONG> journals;
    for (const auto& entry : entries) {
        const std::wstring journal = journalOf(entry.name);
        if (journal.empty() || sameName(journal, journalName(installation))) continue;
        ULONGLONG& newest = journals[journal];
        if (entry.lastWrite > newest) newest = entry.lastWrite;
    }
    for (const auto& [name, written] : journals) {
        const std::wstring journal = folder + name;
        if (written >= *begun) {
            log.line({L"the journal ", journal, L" was written while this installation runs: it belongs to a run "
                                                 L"that is still going on, and is left alone"});
            continue;
        }
        UndoTransaction earlier(&script, &log, journal);
        if (!earlier.journalExists() && fileAttributes(leftoverFile(journal)) == INVALID_FILE_ATTRIBUTES) continue;
        log.line({L"an earlier run left its journal ", journal, L": its items go back where nothing stands now"});
        if (!earlier.loadJournal()) continue;
        if (!earlier.restoreAll()) log.line(L"items of the earlier run that could not go back stay in their stores");
    }
}

}  // namespace tidewell
