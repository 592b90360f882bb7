#include "backup/persistent_data_backup.h"

#include <algorithm>
#include <map>
#include <optional>

#include "backup/registry_root.h"
#include "common/text.h"
#include "win/folder_removal.h"
#include "win/item_identity.h"
#include "win/paths.h"
#include "undo/journal_file.h"
#include "undo/undo_transaction.h"
#include "win/command_script.h"
#include "msi/session.h"
#include "win/registry_key.h"
#include "win/tree_size.h"

namespace tidewell {

namespace {

constexpr size_t kWorkListGroups = 2;

std::wstring count(size_t n) { return toDecimal(static_cast<long long>(n)); }

void dropTrailingBackslashes(std::wstring& path) {
    while (path.size() > 1 && path.back() == L'\\') path.pop_back();
}

// Registry items are copied in the library's own view: lines name it where 64-bit
// Windows has two.
std::wstring viewNote(const std::wstring& path) {
    if (!isRegistryPath(path)) return {};
    const std::wstring name = viewName(RegistryView::Own);
    return name.empty() ? name : concat({L" (", name, L")"});
}

// A registry item is a key of the library's own view; any other item a file or folder.
ItemIdentity itemIdentity(const std::wstring& path) {
    HKEY root = nullptr;
    std::wstring subkey;
    if (parseRegistryPath(path, root, subkey)) return registryIdentity(root, subkey, std::nullopt, RegistryView::Own);
    return fileSystemIdentity(path);
}

// One log line for every item restored or not, and one for each store that keeps copies.
class RestoreLog final : public RestoreReport {
public:
    explicit RestoreLog(const ActionLog& log) : log_(log) {}

    void onItem(const UndoStore& store, const std::wstring& path, const std::wstring& stored,
                bool restored) override {
        if (!restored) log_.line({L"could not restore ", path, L"; the copy stays in ", stored});
        else if (store.isNetworkStore()) log_.line({L"restore of ", path, L" goes into the user's script"});
        else log_.line({L"restored ", path, viewNote(path)});
    }
    void onStoreKept(const UndoStore& store) override {
        log_.line({L"what could not be restored stays in ", store.recordedLocation()});
    }

private:
    const ActionLog& log_;
};

}  // namespace

std::wstring backupFileName(const std::wstring& productCode) {
    const size_t first = productCode.find_first_not_of(L"{}");
    const size_t last = productCode.find_last_not_of(L"{}");
    std::wstring cleaned = first == std::wstring::npos ? std::wstring() : productCode.substr(first, last - first + 1);
    for (auto& c : cleaned) {
        if (c == L'-') c = L'_';
        // A product code is a GUID; anything else must not lead the file elsewhere.
        else if (c < 0x20 || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos) c = L'_';
    }
    return concat({L"VuBack_", cleaned, L".bak"});
}

PersistentDataBackup::PersistentDataBackup(const ActionLog& log)
    : log_(log), backupFile_(tempFolder() + backupFileName(getProperty(log.installer(), L"ProductCode"))) {}

void PersistentDataBackup::load(const ActionData& workList) {
    items_.clear();
    allUsers_.clear();
    if (workList.groupCount() != kWorkListGroups) {
        log_.line(L"the work list holds no items");
        return;
    }
    size_t index = 0;
    for (const auto& record : workList.group(0)) {
        ++index;
        auto item = parsePersistentItem(record);
        if (!item) {
            log_.line({L"work list record ", count(index), L" skipped: it has ", count(record.size()),
                      L" fields, not 4"});
            continue;
        }
        items_.push_back(std::move(*item));
    }
    allUsers_ = ActionData::findValue(workList.group(1), L"ALLUSERS");
}

void PersistentDataBackup::take(std::vector<PersistentItem> items, std::wstring allUsers) {
    items_ = std::move(items);
    allUsers_ = std::move(allUsers);
}

std::wstring PersistentDataBackup::itemPath(const PersistentItem& item) const {
    const std::wstring row = concat({L"row ", item.persistentRow});
    std::wstring path = item.path;
    if (item.type == kRegistryRootNumberType) {
        path = rewriteRegistryRoot(item.path, allUsers_);
        if (path != item.path) log_.line({row, L": root number of ", item.path, L" gives ", path});
    }
    if (path.empty()) {
        log_.line({row, L" not backed up: its path is empty"});
        return {};
    }
    if (isRegistryPath(path)) {
        HKEY root = nullptr;
        std::wstring subkey;
        if (!parseRegistryPath(path, root, subkey) || subkey.empty()) {
            log_.line({row, L" not backed up: ", path, L" is a whole root key"});
            return {};
        }
        // As for registry removal: after formatting, an empty component (a trailing
        // backslash included) may be a property that was not set, and the key it leaves
        // is not the one the row meant.
        if (hasEmptyComponent(subkey)) {
            log_.line({row, L" not backed up: ", path, L" has an empty component"});
            return {};
        }
        return concat({rootLongName(root), L"\\", subkey});
    }
    if (isRootFolder(path)) {
        log_.line({row, L" not backed up: ", path, L" is a drive or share root"});
        return {};
    }
    dropTrailingBackslashes(path);
    if (storeKey(path).empty()) {
        log_.line({row, L" not backed up: ", path, L" is neither a full path nor a registry key"});
        return {};
    }
    return path;
}

bool PersistentDataBackup::roomForCopies(const std::vector<std::wstring>& paths) const {
    // The copies go into a store on the item's own volume.
    std::map<std::wstring, unsigned long long> needed;
    for (const auto& path : paths)
        if (!isRegistryPath(path) && !isNetworkPath(path)) needed[storeKey(path)] += treeSize(path).bytes;
    for (const auto& [volume, bytes] : needed) {
        unsigned long long free = 0;
        if (bytes == 0 || !freeBytesAt(volume, free) || bytes < free) continue;
        log_.line({L"not enough room on ", volume, L" for the backup: ", toDecimal(static_cast<long long>(bytes)),
                  L" bytes to copy, ", toDecimal(static_cast<long long>(free)), L" bytes free (error ",
                  toDecimal(ERROR_DISK_FULL), L"); nothing is copied"});
        return false;
    }
    return true;
}

bool PersistentDataBackup::backUp() {
    if (items_.empty()) {
        log_.line(L"nothing to back up: no backup file is written");
        return true;
    }
    // Every item once, however many rows name it: a second copy would count twice and
    // make a restore put the item back twice.
    struct Work {
        const PersistentItem* item;
        std::wstring path;
        std::optional<std::wstring> firstRow;  // the row that named the item before
    };
    std::vector<Work> work;
    std::vector<std::wstring> paths;
    ItemRows itemRows;
    for (const auto& item : items_) {
        std::wstring path = itemPath(item);
        if (path.empty()) continue;
        auto firstRow = itemRows.earlierRow(itemIdentity(path), item.persistentRow);
        if (!firstRow) paths.push_back(path);
        work.push_back({&item, std::move(path), std::move(firstRow)});
    }
    if (!roomForCopies(paths)) {
        log_.line(L"the backup failed: nothing is backed up and nothing is changed");
        return false;
    }
    discardPartial();
    CommandScript script(&log_);
    // Written before each copy, and renamed to the backup file only when all are made.
    UndoTransaction transaction(&script, &log_, partialFile());
    transaction.saveJournalBeforeEachItem();
    size_t networkItems = 0;
    bool failed = false;
    for (const auto& [item, path, firstRow] : work) {
        const std::wstring row = concat({L"row ", item->persistentRow});
        if (firstRow) {
            log_.line({row, L": ", path, L" is row ", *firstRow, L"'s item too: it is backed up once"});
            continue;
        }
        const KeptCopy kept = transaction.keepCopy(path);
        if (kept.result == Copied::Missing || kept.result == Copied::Link) {
            log_.line({row, L": ", path, L" not backed up: ",
                      (kept.result == Copied::Missing ? L"it does not exist" : L"it is a link, which is never followed")});
            continue;
        }
        if (kept.result == Copied::Failed) {
            // Without this copy the data would be lost once the removal runs.
            log_.line({row, L": could not back up ", path, L" (error ", toDecimal(kept.error), L")"});
            failed = true;
            break;
        }
        if (!isRegistryPath(path) && isNetworkPath(path)) {
            ++networkItems;
            log_.line({row, L": ", path, L" is copied by the user's script"});
        } else {
            log_.line({row, L": backed up ", path, viewNote(path)});
        }
    }
    if (!failed) {
        // The script's items that did not arrive are dropped from the stores: only they
        // can make the stores hold fewer items after it than before.
        const size_t queued = transaction.itemCount();
        script.runForInstallingUser(getProperty(log_.installer(), L"UserSID"));
        const size_t lost = queued - std::min(queued, transaction.itemCount());
        if (lost > 0) {
            log_.line({L"the user's script copied ", count(networkItems - std::min(networkItems, lost)), L" of ",
                      count(networkItems), L" network items"});
            failed = true;
        }
    }
    if (!failed) {
        if (pathExists(backupFile_))
            log_.line({L"an earlier backup file ", backupFile_, L" is replaced; its copies stay in the stores"});
        if (transaction.saveJournal() && replaceFile(partialFile(), backupFile_)) {
            log_.line({L"backup file ", backupFile_, L" written: ", count(transaction.itemCount()), L" items"});
            transaction.keep();
            return true;
        }
        log_.line({L"could not write the backup file ", backupFile_, L" (error ", toDecimal(::GetLastError()), L")"});
    }
    transaction.discardStores();
    log_.line(L"the backup failed: its copies are deleted, no backup file is written, and nothing is changed");
    return false;
}

void PersistentDataBackup::discardPartial() {
    // The first write of a run that ended there names nothing yet.
    if (fileAttributes(pendingFile(partialFile())) != INVALID_FILE_ATTRIBUTES &&
        fileAttributes(partialFile()) == INVALID_FILE_ATTRIBUTES)
        deleteFile(pendingFile(partialFile()));
    const bool ended = fileAttributes(partialFile()) != INVALID_FILE_ATTRIBUTES;
    if (!ended && fileAttributes(leftoverFile(partialFile())) == INVALID_FILE_ATTRIBUTES) return;
    if (ended) log_.line({L"a backup that ended while copying left ", partialFile(), L": its copies are deleted"});
    CommandScript script(&log_);
    UndoTransaction partial(&script, &log_, partialFile());
    // Read as not finished, its copies are deleted when the transaction ends.
    partial.loadJournal();
}

void PersistentDataBackup::restore() { release(Ending::Restore); }
void PersistentDataBackup::discard() { release(Ending::Discard); }

void PersistentDataBackup::release(Ending ending) {
    discardPartial();
    {
        CommandScript script(&log_);
        UndoTransaction transaction(&script, &log_, backupFile_);
        if (!transaction.loadJournal()) {
            log_.line({L"no backup of this product (", backupFile_, L"): nothing to ",
                      (ending == Ending::Restore ? L"restore" : L"discard")});
            return;
        }
        const size_t items = transaction.itemCount();
        if (ending == Ending::Restore) {
            // The copies go back over whatever stands at their places by now.
            transaction.setRestoreTarget(RestoreTarget::Replace);
            log_.line({L"restoring ", count(items), L" items from ", backupFile_});
            RestoreLog report(log_);
            transaction.restoreAll(&report);
            script.runForInstallingUser(getProperty(log_.installer(), L"UserSID"));
        } else {
            log_.line({L"discarding the backup ", backupFile_, L": ", count(items), L" copies"});
        }
        // The transaction ends active: its stores delete the copies, and the backup file goes.
    }
    log_.line(pathExists(backupFile_)
                  ? concat({L"backup file ", backupFile_, L" is still there (see the lines before)"})
                  : concat({L"backup file ", backupFile_, L" removed"}));
}

}  // namespace tidewell
