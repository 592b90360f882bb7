#include "backup/persistent_data_backup.h"

#include "backup/registry_root.h"
#include "common/text.h"
#include "win/folder_removal.h"
#include "win/paths.h"
#include "undo/undo_transaction.h"
#include "win/user_script.h"
#include "msi/session.h"
#include "win/registry_key.h"

namespace tidewell {

namespace {

constexpr size_t kWorkListGroups = 2;

size_t itemCount(const UndoTransaction& transaction) {
    size_t items = 0;
    for (const auto& entry : transaction.fileStores()) items += entry.second->storedOf().size();
    for (const auto& entry : transaction.registryStores()) items += entry.second->storedOf().size();
    return items;
}

std::wstring count(size_t n) { return toDecimal(static_cast<long long>(n)); }

void dropTrailingBackslashes(std::wstring& path) {
    while (path.size() > 1 && path.back() == L'\\') path.pop_back();
}

// Puts back every item of one store, one log line each. A store that could not put
// everything back keeps what it holds.
template <typename Store>
void restoreStore(const ActionLog& log, Store& store, bool network) {
    std::vector<std::pair<std::wstring, std::wstring>> items(store.storedOf().begin(), store.storedOf().end());
    bool all = true;
    for (const auto& [path, copy] : items) {
        if (!store.restoreItem(path)) {
            all = false;
            log.line(L"could not restore " + path + L"; the copy stays in " + copy);
        } else if (network) {
            log.line(L"restore of " + path + L" goes into the user's script");
        } else {
            log.line(L"restored " + path);
        }
    }
    if (all) return;
    store.disarm();
    log.line(L"what could not be restored stays in " + store.recordedFolder());
}

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
    return L"VuBack_" + cleaned + L".bak";
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
            log_.line(L"work list record " + count(index) + L" skipped: it has " + count(record.size()) +
                      L" fields, not 4");
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
    const std::wstring row = L"row " + item.persistentRow;
    std::wstring path = item.path;
    if (item.type == kRegistryRootNumberType) {
        path = rewriteRegistryRoot(item.path, allUsers_);
        if (path != item.path) log_.line(row + L": root number of " + item.path + L" gives " + path);
    }
    if (path.empty()) {
        log_.line(row + L" not backed up: its path is empty");
        return {};
    }
    if (isRegistryPath(path)) {
        dropTrailingBackslashes(path);
        HKEY root = nullptr;
        std::wstring subkey;
        if (!parseRegistryPath(path, root, subkey) || subkey.empty()) {
            log_.line(row + L" not backed up: " + path + L" is a whole root key");
            return {};
        }
        return rootLongName(root) + L"\\" + subkey;
    }
    if (isRootFolder(path)) {
        log_.line(row + L" not backed up: " + path + L" is a drive or share root");
        return {};
    }
    dropTrailingBackslashes(path);
    if (storeKey(path).empty()) {
        log_.line(row + L" not backed up: " + path + L" is neither a full path nor a registry key");
        return {};
    }
    return path;
}

void PersistentDataBackup::backUp() {
    if (items_.empty()) {
        log_.line(L"nothing to back up: no backup file is written");
        return;
    }
    if (pathExists(backupFile_))
        log_.line(L"an earlier backup file " + backupFile_ + L" is replaced; its copies stay in the stores");
    UserScript script(&log_);
    UndoTransaction transaction(&script, &log_, backupFile_);
    for (const auto& item : items_) {
        const std::wstring path = itemPath(item);
        if (path.empty()) continue;
        const std::wstring row = L"row " + item.persistentRow;
        if (!transaction.keepCopy(path))
            log_.line(row + L": " + path + L" not backed up");
        else if (!isRegistryPath(path) && isNetworkPath(path))
            log_.line(row + L": " + path + L" is copied by the user's script");
        else
            log_.line(row + L": backed up " + path);
    }
    if (script.hasCommands()) {
        const std::vector<std::wstring> images = msiexecImages();
        if (!script.run(&images))
            log_.line(L"no installer process of a user was found: network items were not copied");
    }
    if (transaction.saveJournal())
        log_.line(L"backup file " + backupFile_ + L" written: " + count(itemCount(transaction)) + L" items");
    else
        log_.line(L"could not write the backup file " + backupFile_ + L"; the copies cannot be restored");
    transaction.keep();
}

void PersistentDataBackup::restore() { release(true); }
void PersistentDataBackup::discard() { release(false); }

void PersistentDataBackup::release(bool restoring) {
    {
        UserScript script(&log_);
        UndoTransaction transaction(&script, &log_, backupFile_);
        if (!transaction.loadJournal()) {
            log_.line(std::wstring(L"no backup of this product (") + backupFile_ + L"): nothing to " +
                      (restoring ? L"restore" : L"discard"));
            return;
        }
        const size_t items = itemCount(transaction);
        if (restoring) {
            log_.line(L"restoring " + count(items) + L" items from " + backupFile_);
            for (auto& [key, store] : transaction.fileStores()) restoreStore(log_, *store, store->isNetworkStore());
            for (auto& [key, store] : transaction.registryStores()) restoreStore(log_, *store, false);
            if (script.hasCommands()) {
                const std::vector<std::wstring> images = msiexecImages();
                if (!script.run(&images)) {
                    log_.line(L"no installer process of a user was found: network items were not restored");
                    transaction.keepNetworkStores();
                }
            }
        } else {
            log_.line(L"discarding the backup " + backupFile_ + L": " + count(items) + L" copies");
        }
        // The transaction ends active: its stores delete the copies, and the backup file goes.
    }
    log_.line(pathExists(backupFile_) ? L"could not delete the backup file " + backupFile_
                                      : L"backup file " + backupFile_ + L" removed");
}

}  // namespace tidewell
