#include "undo/undo_transaction.h"

#include <windows.h>
#include <cwchar>
#include <exception>

#include "common/text.h"
#include "common/unique_any.h"
#include "undo/journal_file.h"
#include "win/paths.h"
#include "win/registry_key.h"
#include "win/tree_delete.h"

namespace tidewell {

namespace {
const wchar_t* const kRegistryStoreKey = L"HKCU";

void finishStore(UndoStore& store) {
    if (store.finishOnDestroy() && !store.finish()) store.markUnfinished();
    store.disarm();
}
}  // namespace

std::wstring journalFile() { return tempFolder() + kJournalName; }

namespace {
const wchar_t* const kLeftoverSuffix = L".leftover";
bool isLeftoverFile(const std::wstring& path) {
    const size_t length = std::wcslen(kLeftoverSuffix);
    return path.size() > length && path.compare(path.size() - length, length, kLeftoverSuffix) == 0;
}
}  // namespace

std::wstring leftoverFile(const std::wstring& journal) {
    return isLeftoverFile(journal) ? journal : journal + kLeftoverSuffix;
}

void UndoTransaction::finishLeftovers() {
    const std::wstring leftover = leftoverFile(journal_);
    if (leftover == journal_ || fileAttributes(leftover) == INVALID_FILE_ATTRIBUTES) return;
    logLine({L"taking up what an earlier run left in the stores (", leftover, L")"});
    UndoTransaction earlier(script_, log_, leftover);
    earlier.setRestoreTarget(restoreTarget_);
    // Items that wait to be put back go back now where they can; items that wait to be
    // deleted are deleted when it ends.
    if (earlier.loadJournal()) earlier.restoreAll();
}

std::wstring storeKey(const std::wstring& path) {
    if (namedRoot(path) != nullptr) return kRegistryStoreKey;
    if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\') return parentFolder(path);
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return path.substr(0, 3);
    return {};
}

UndoTransaction::UndoTransaction(CommandScript* script, const LogSink* log, std::wstring journal)
    : script_(script), log_(log), journal_(std::move(journal)), uncaughtAtStart_(std::uncaught_exceptions()) {
    std::vector<std::wstring> drives;
    logicalDrives(drives);
    for (const auto& drive : drives) fileStores_.emplace(drive, std::make_unique<FileUndoStore>(drive, script_, log_));
    registryStores_.emplace(kRegistryStoreKey, std::make_unique<RegistryUndoStore>(kRegistryStoreKey, script_, log_));
}

void UndoTransaction::attach(UndoStore& store) {
    store.setWriteAhead(ahead_.isOpen()             ? static_cast<WriteAhead*>(&ahead_)
                        : journalBeforeEachItem_ ? static_cast<WriteAhead*>(&unfinished_)
                                                 : nullptr);
    store.setRestoreTarget(restoreTarget_);
}

bool UndoTransaction::beginWriteAhead(const std::wstring& owner) {
    owner_ = owner;
    const std::wstring file = writeAheadFile(journal_);
    if (!ahead_.create(file, owner)) {
        keepFiles_ = true;  // what stands there is not this run's to delete
        logLine({L"cannot create the undo record ", file, L" (error ", toDecimal(::GetLastError()), L")"});
        return false;
    }
    for (auto& entry : fileStores_) attach(*entry.second);
    return true;
}

void UndoTransaction::saveJournalBeforeEachItem() {
    journalBeforeEachItem_ = true;
    for (auto& entry : fileStores_) attach(*entry.second);
    for (auto& entry : registryStores_) attach(*entry.second);
}

bool UndoTransaction::saveUnfinishedJournal() {
    const bool wasActive = active_;
    active_ = false;
    const bool saved = saveJournal();
    active_ = wasActive;
    return saved;
}

void UndoTransaction::setRestoreTarget(RestoreTarget target) {
    restoreTarget_ = target;
    for (auto& entry : fileStores_) attach(*entry.second);
    for (auto& entry : registryStores_) attach(*entry.second);
}

bool UndoTransaction::journalExists() const {
    return fileAttributes(journal_) != INVALID_FILE_ATTRIBUTES || isLink(journal_) ||
           fileAttributes(writeAheadFile(journal_)) != INVALID_FILE_ATTRIBUTES;
}

UndoTransaction::~UndoTransaction() {
    if (!active_) return;
    try {
        if (std::uncaught_exceptions() > uncaughtAtStart_) {
            // Finishing now would delete what was taken with no journal left to undo it.
            if (saveJournal()) logLine(L"stopped early: the journal is saved and the stores are kept for the undo");
            else logLine(L"stopped early: the stores are kept, but the journal could not be saved");
            keep();
            return;
        }
        for (auto& entry : fileStores_) finishStore(*entry.second);
        for (auto& entry : registryStores_) finishStore(*entry.second);
        if (keepFiles_) return;
        ahead_ = WriteAheadLog();
        switch (keepRemainingItems()) {
        case Remaining::Recorded: return;
        case Remaining::NotRecorded:
            // Nothing else names what the stores still hold.
            logLine({L"the journal ", journal_, L" and its undo record stay as they are: the next run takes them up"});
            return;
        case Remaining::None: break;
        }
        retireJournal();
    } catch (...) {
        // Whatever could not be finished stays on disk.
    }
}

UndoStore* UndoTransaction::storeFor(const std::wstring& path) {
    const std::wstring key = storeKey(path);
    if (key.empty()) return nullptr;
    if (key == kRegistryStoreKey) {
        auto& store = registryStores_[key];
        if (!store) store = std::make_unique<RegistryUndoStore>(key, script_, log_);
        return store.get();
    }
    auto& store = fileStores_[key];
    if (!store) {
        store = std::make_unique<FileUndoStore>(key, script_, log_);
        attach(*store);
    }
    return store.get();
}

bool UndoTransaction::take(const std::wstring& path) {
    UndoStore* store = storeFor(path);
    if (store == nullptr) {
        logLine({path, L" kept: it is not a full path"});
        return false;
    }
    return store->take(path);
}

KeptCopy UndoTransaction::keepCopy(const std::wstring& path) {
    UndoStore* store = storeFor(path);
    if (store == nullptr) return {Copied::Failed, ERROR_BAD_PATHNAME};
    return store->keepCopy(path);
}

void UndoTransaction::discardStores() {
    if (!active_) return;
    for (auto& entry : fileStores_) finishStore(*entry.second);
    for (auto& entry : registryStores_) finishStore(*entry.second);
    // Copies that could not be deleted are named in the leftover file for the next run.
    const Remaining remaining = keepRemainingItems();
    if (remaining == Remaining::NotRecorded) {
        logLine({L"the journal ", journal_, L" stays as it is: the next run deletes what it names"});
    } else if (remaining == Remaining::None || journal_ != leftoverFile(journal_)) {
        deleteTree(journal_, log_);
        deleteTree(pendingFile(journal_), log_);
    }
    active_ = false;
}

std::vector<unsigned char> UndoTransaction::journalBytes() {
    JournalWriter writer;
    journalObjectMap(writer, fileStores_, [](const std::wstring&) { return std::unique_ptr<FileUndoStore>(); });
    journalObjectMap(writer, registryStores_,
                     [](const std::wstring&) { return std::unique_ptr<RegistryUndoStore>(); });
    writer.boolean(active_);
    return writer.bytes();
}

bool UndoTransaction::storesAreTrusted(const FileStores& stores) {
    bool trusted = true;
    for (const auto& entry : stores) trusted = entry.second->hasTrustedLocation() && trusted;
    // What such a record names is left for an administrator to look at: nothing of it
    // is acted on, and it is not deleted.
    if (!trusted) {
        keepFiles_ = true;
        untrustedStore_ = true;
    }
    return trusted;
}

bool UndoTransaction::readJournal(const std::vector<unsigned char>& bytes) {
    clearStores();
    FileStores files;
    RegistryStores registry;
    bool active = false;
    JournalReader reader(bytes);
    journalObjectMap(reader, files, [&](const std::wstring& key) {
        return std::make_unique<FileUndoStore>(key, script_, log_);
    });
    journalObjectMap(reader, registry, [&](const std::wstring& key) {
        return std::make_unique<RegistryUndoStore>(key, script_, log_);
    });
    reader.boolean(active);

    bool sound = !reader.failed() && reader.atEnd();
    // Every store holds only items of its own key: a file store the paths of its drive or
    // share, the registry store registry paths.
    for (const auto& [key, store] : files) {
        sound = sound && (storeKey(key) == key && key != kRegistryStoreKey) && store->isConsistent();
        for (const auto& entry : store->storedOf()) sound = sound && storeKey(entry.first) == key;
    }
    for (const auto& [key, store] : registry) {
        sound = sound && key == kRegistryStoreKey && store->isConsistent();
        for (const auto& entry : store->storedOf()) sound = sound && namedRoot(entry.first) != nullptr;
    }
    const bool trusted = sound && storesAreTrusted(files);
    if (!sound || !trusted) {
        // Nothing read from a damaged journal may act on the disk.
        for (auto& entry : files) entry.second->disarm();
        for (auto& entry : registry) entry.second->disarm();
        if (sound) logLine({L"the journal ", journal_, L" names a store that is not the library's own; it is left in place"});
        else logLine({L"the journal ", journal_, L" is damaged; it is ignored"});
        return false;
    }
    fileStores_ = std::move(files);
    registryStores_ = std::move(registry);
    // A journal closed as not active was kept by a commit or discard that could not
    // delete everything: its items are to be deleted, never put back.
    deleteOnly_ = !active;
    active_ = true;
    setRestoreTarget(restoreTarget_);
    return true;
}

bool UndoTransaction::readWriteAheadStores(const WriteAheadContents& contents) {
    FileStores files;
    bool sound = true;
    std::map<std::wstring, std::wstring> locations = contents.locations;
    for (const auto& [key, items] : contents.items)
        if (!items.empty() && locations.count(key) == 0) locations[key] = parentFolder(items.begin()->second);
    const std::map<std::wstring, std::wstring> none;
    for (const auto& [key, location] : locations) {
        sound = sound && storeKey(key) == key && key != kRegistryStoreKey;
        if (!sound) break;
        const auto found = contents.items.find(key);
        const auto& items = found == contents.items.end() ? none : found->second;
        auto store = std::make_unique<FileUndoStore>(key, script_, log_);
        store->adoptRecorded(location, items);
        sound = store->isConsistent();
        for (const auto& entry : items) sound = sound && storeKey(entry.first) == key;
        files.emplace(key, std::move(store));
    }
    if (sound && !storesAreTrusted(files)) {
        for (auto& entry : files) entry.second->disarm();
        logLine({L"the undo record ", writeAheadFile(journal_), L" names a store that is not the library's own; it is left in place"});
        return false;
    }
    if (!sound) {
        for (auto& entry : files) entry.second->disarm();
        return false;
    }
    fileStores_ = std::move(files);
    active_ = true;
    setRestoreTarget(restoreTarget_);
    return true;
}

void UndoTransaction::clearStores() {
    fileStores_.clear();
    registryStores_.clear();
}

bool UndoTransaction::saveJournal() {
    if (writeProtectedFile(journal_, journalBytes())) return true;
    logLine({L"cannot write the journal ", journal_, L" (error ", toDecimal(::GetLastError()), L")"});
    return false;
}

bool UndoTransaction::loadJournal() {
    finishLeftovers();
    clearStores();
    const std::wstring aheadFile = writeAheadFile(journal_);
    WriteAheadContents ahead;
    DWORD error = ERROR_SUCCESS;
    const ReadOutcome aheadRead = readWriteAhead(aheadFile, ahead, error);
    if (aheadRead == ReadOutcome::Refused) {
        keepFiles_ = true;
        logLine({L"the undo record ", aheadFile, L" is not read and is left in place (error ", toDecimal(error), L")"});
        return false;
    }
    if (aheadRead == ReadOutcome::Read && !owner_.empty() && !ahead.owner.empty() && ahead.owner != owner_) {
        keepFiles_ = true;
        logLine({L"the journal ", journal_, L" belongs to another installation (", ahead.owner, L"); it is left alone"});
        return false;
    }
    // The write-ahead record of the same installation names every item too: it serves
    // when the journal cannot serve.
    const auto fromRecord = [&]() {
        if (!readWriteAheadStores(ahead)) {
            if (!untrustedStore_) logLine({L"the undo record ", aheadFile, L" is damaged; it is ignored"});
            return false;
        }
        logLine({L"its items are read from the undo record ", aheadFile});
        return true;
    };
    std::vector<unsigned char> bytes;
    const ReadOutcome read = readProtectedFile(journal_, bytes, error);
    if (read == ReadOutcome::Refused) {
        logLine({L"the journal ", journal_, L" is not read and is left in place (error ", toDecimal(error), L")"});
        if (aheadRead == ReadOutcome::Read) return fromRecord();
        keepFiles_ = true;
        return false;
    }
    if (read == ReadOutcome::Read && !bytes.empty()) {
        if (readJournal(bytes)) return true;
        return aheadRead == ReadOutcome::Read && fromRecord();
    }
    if (read == ReadOutcome::Damaged) {
        logLine({L"the journal ", journal_, L" is too large; it is ignored"});
        return aheadRead == ReadOutcome::Read && fromRecord();
    }
    if (aheadRead == ReadOutcome::Read) {
        if (!readWriteAheadStores(ahead)) {
            if (!untrustedStore_) logLine({L"the undo record ", aheadFile, L" is damaged; it is ignored"});
            return false;
        }
        logLine({L"the run that wrote ", journal_, L" ended early: its items are read from ", aheadFile});
        return true;
    }
    logLine({L"no journal at ", journal_, L": nothing to do"});
    return false;
}

UndoTransaction::Remaining UndoTransaction::keepRemainingItems() {
    size_t remaining = 0;
    bool unfinished = false;
    const auto rearm = [&](UndoStore& store) {
        if (store.storedOf().empty() && !store.unfinished()) return;
        remaining += store.storedOf().size();
        unfinished = true;
        store.rearm();
    };
    for (auto& entry : fileStores_) rearm(*entry.second);
    for (auto& entry : registryStores_) rearm(*entry.second);
    if (!unfinished) return Remaining::None;
    // What is left goes into the leftover file, its closing flag telling whether the items
    // wait to be put back or deleted; the journal itself goes as usual, so that the next
    // run can begin its own.
    const std::wstring journal = journal_;
    const std::wstring leftover = leftoverFile(journal);
    journal_ = leftover;
    const bool saved = restoring_ ? saveJournal() : saveUnfinishedJournal();
    journal_ = journal;
    for (auto& entry : fileStores_) entry.second->disarm();
    for (auto& entry : registryStores_) entry.second->disarm();
    if (!saved) return Remaining::NotRecorded;
    if (journal_ != leftover) retireJournal();
    if (remaining == 0)
        logLine({L"the journal ", leftover, L" keeps naming the stores that could not be deleted; the next run deletes them"});
    else
        logLine({L"the journal ", leftover, L" keeps the ", toDecimal(static_cast<long long>(remaining)),
                L" items that could not be ", (restoring_ ? L"put back" : L"deleted"), L"; the next run takes them up"});
    return Remaining::Recorded;
}

void UndoTransaction::retireJournal() {
    // The record goes first: a record without its journal is read in the journal's place.
    const bool recordGone = deleteTree(writeAheadFile(journal_), log_);
    deleteTree(pendingFile(journal_), log_);
    if (recordGone && deleteTree(journal_, log_)) return;
    // Left in place, they would name items that are done by now, or named in the leftover
    // file, as items to put back. The journal, read before the record, is written again
    // naming none.
    clearStores();
    if (saveJournal()) logLine({L"the journal ", journal_, L" is emptied: the next run finds nothing to do in it"});
}

void UndoTransaction::keep() {
    active_ = false;
    for (auto& entry : fileStores_) entry.second->keep();
    for (auto& entry : registryStores_) entry.second->keep();
}

bool UndoTransaction::restoreAll(RestoreReport* report) {
    if (deleteOnly_) {
        logLine({L"the journal ", journal_, L" names items to be deleted, not put back: they are deleted"});
        return true;
    }
    restoring_ = true;
    bool all = true;
    const auto restore = [&](UndoStore& store) {
        if (store.restoreAll(report)) return;
        all = false;
        store.disarm();
        if (report) report->onStoreKept(store);
        else if (store.key() != kRegistryStoreKey)
            logLine({L"what could not be put back stays in ", store.recordedLocation()});
    };
    for (auto& [key, store] : fileStores_) restore(*store);
    for (auto& [key, store] : registryStores_) restore(*store);
    return all;
}

size_t UndoTransaction::itemCount() const {
    size_t items = 0;
    for (const auto& [key, store] : fileStores_) items += store->storedOf().size();
    for (const auto& [key, store] : registryStores_) items += store->storedOf().size();
    return items;
}

}  // namespace tidewell
