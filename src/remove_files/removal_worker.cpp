#include "remove_files/removal_worker.h"

#include "common/text.h"
#include "msi/run_start.h"
#include "win/folder_entries.h"
#include "win/folder_removal.h"
#include "win/item_identity.h"
#include "win/name_pattern.h"
#include "win/paths.h"
#include "win/tree_delete.h"

namespace tidewell {

namespace {

std::wstring lastErrorText() { return concat({L"error ", toDecimal(::GetLastError())}); }

// The folder, or the pattern in it, as the row names it.
std::wstring namedPath(const RemovalRecord& entry) {
    std::wstring folder = entry.folder;
    if (entry.fileName.empty()) {
        removeTrailingBackslash(folder);
        return folder;
    }
    ensureTrailingBackslash(folder);
    return folder + longFileName(entry.fileName);
}

// A folder row's folder, or a pattern row's folder and pattern; with what the options
// make the row remove, since rows that differ there each remove something of their own.
ItemIdentity itemIdentity(const RemovalRecord& entry) {
    const ItemIdentity folder = fileSystemIdentity(entry.folder);
    if (entry.fileName.empty())
        return withPart(folder, (entry.options & kRemoveWholeFolder) == kRemoveWholeFolder ? L"whole" : L"empty");
    return withPart(withPart(folder, longFileName(entry.fileName)), toDecimal(entry.options & kRemoveWholeFolder));
}

}  // namespace

std::wstring longFileName(const std::wstring& fileName) {
    const size_t bar = fileName.find(L'|');
    return bar == std::wstring::npos ? fileName : fileName.substr(bar + 1);
}

void RemovalWorker::load(const ActionData& data) {
    entries_.clear();
    // The undoable removal's list ends with the moment its installation began.
    const size_t rowGroups = data.groupCount() == 2 && isRunStartGroup(data.group(1)) ? 1 : data.groupCount();
    if (rowGroups != 1) {
        if (rowGroups > 1) log_.line({L"work list ignored: it holds ", toDecimal(data.groupCount()), L" groups"});
        else log_.line(L"the work list holds no items");
        return;
    }
    for (const auto& fields : data.group(0)) {
        auto record = parseRemovalRecord(fields);
        if (!record) {
            log_.line({L"work-list record skipped: ", toDecimal(fields.size()), L" fields instead of 8"});
            continue;
        }
        const std::wstring key = record->key;
        entries_.emplace(key, std::move(*record));
    }
}

void RemovalWorker::run(RemovalSink* sink) {
    // Every row's item is known before any row removes anything: once removed, an item
    // can no longer be told by what it is.
    ItemRows itemRows;
    std::map<std::wstring, std::wstring> firstRows;
    for (const auto& [key, entry] : entries_) {
        if (entry.folder.empty()) continue;
        if (const auto first = itemRows.earlierRow(itemIdentity(entry), key)) firstRows.emplace(key, *first);
    }
    for (const auto& [key, entry] : entries_) {
        // An empty folder would make every path relative to the current folder.
        if (entry.folder.empty()) {
            log_.line({L"row ", key, L" skipped: its folder is empty"});
            continue;
        }
        if (const auto first = firstRows.find(key); first != firstRows.end()) {
            log_.line({L"row ", key, L": ", namedPath(entry), L" is row ", first->second,
                       L"'s item too: it is removed once"});
            continue;
        }
        if (entry.fileName.empty()) removeFolderEntry(key, entry, sink);
        else removePattern(key, entry, sink);
    }
}

void RemovalWorker::removeFolderEntry(const std::wstring& key, const RemovalRecord& entry, RemovalSink* sink) {
    progress_.item({entry.folder});
    std::wstring folder = entry.folder;
    removeTrailingBackslash(folder);
    if (isRootFolder(folder)) {
        log_.line({L"row ", key, L": ", folder, L" is a root and is never removed"});
        return;
    }
    if ((entry.options & kRemoveWholeFolder) == kRemoveWholeFolder) {
        if (!pathExists(folder)) log_.line({L"row ", key, L": ", folder, L" does not exist"});
        else if (removeFolderTree(folder, sink, &log_)) log_.line({L"row ", key, L": removed ", folder, L" with its content"});
        else log_.line({L"row ", key, L": could not remove ", folder, L" (", lastErrorText(), L")"});
        return;
    }
    if (!pathExists(folder)) log_.line({L"row ", key, L": ", folder, L" does not exist"});
    else if (!isFolderEmpty(folder)) log_.line({L"row ", key, L": ", folder, L" kept: it is not empty"});
    else if (removeFolderIfEmpty(folder, sink)) log_.line({L"row ", key, L": removed empty folder ", folder});
    else log_.line({L"row ", key, L": could not remove ", folder, L" (", lastErrorText(), L")"});
}

void RemovalWorker::removePattern(const std::wstring& key, const RemovalRecord& entry, RemovalSink* sink) {
    std::wstring folder = entry.folder;
    ensureTrailingBackslash(folder);
    const std::wstring pattern = folder + longFileName(entry.fileName);
    progress_.item({pattern});

    // Every entry is judged by its long name: the find functions would also match the
    // pattern against 8.3 short names ("*.tmp" finding "a.tmpl").
    std::vector<FolderEntry> found;
    listFolder(folder, found);
    const std::wstring spec = longFileName(entry.fileName);
    bool matched = false;
    for (const auto& item : found) {
        if (!matchesNamePattern(item.name, spec)) continue;
        matched = true;
        const std::wstring& name = item.name;
        const std::wstring path = folder + name;
        if ((item.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            bool handled = false;
            if (!isFolderEmpty(path) && (entry.options & kRemoveNonEmptySubfolders) != 0) {
                handled = true;
                if (removeFolderTree(path, sink, &log_)) log_.line({L"row ", key, L": removed folder ", path, L" with its content"});
                else log_.line({L"row ", key, L": could not remove folder ", path, L" (", lastErrorText(), L")"});
            }
            if (isFolderEmpty(path) && (entry.options & kRemoveEmptySubfolders) != 0) {
                handled = true;
                if (removeFolderIfEmpty(path, sink)) log_.line({L"row ", key, L": removed empty folder ", path});
                else log_.line({L"row ", key, L": could not remove folder ", path, L" (", lastErrorText(), L")"});
            }
            if (!handled) log_.line({L"row ", key, L": folder ", path, L" kept: options ", toDecimal(entry.options), L" leave it"});
            continue;
        }
        const bool removed = sink != nullptr ? sink->take(path) : deleteTree(path, &log_);
        if (removed) log_.line({L"row ", key, L": removed ", path});
        else log_.line({L"row ", key, L": could not remove ", path, L" (", lastErrorText(), L")"});
    }
    if (!matched) log_.line({L"row ", key, L": nothing matches ", pattern});
}

void removeFiles(const ActionLog& log, RemovalSink* sink) {
    ActionData data = ActionData::fromSession(log.installer());
    data.parse();
    RemovalWorker worker(log);
    worker.load(data);
    worker.run(sink);
}

}  // namespace tidewell
