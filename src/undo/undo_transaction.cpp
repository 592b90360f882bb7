#include "undo/undo_transaction.h"

#include <windows.h>
#include <exception>

#include "common/unique_any.h"
#include "win/paths.h"
#include "win/registry_key.h"

namespace tidewell {

namespace {
const wchar_t* const kRegistryStoreKey = L"HKCU";
// A journal of this size holds tens of thousands of items; anything larger is not ours.
constexpr LONGLONG kLargestJournal = 64LL * 1024 * 1024;

void finishStore(UndoStore& store) {
    if (store.finishOnDestroy()) store.finish();
    store.disarm();
}
}  // namespace

std::wstring journalFile() { return tempFolder() + kJournalName; }

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
        deleteFile(journal_);
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
    if (!store) store = std::make_unique<FileUndoStore>(key, script_, log_);
    return store.get();
}

bool UndoTransaction::take(const std::wstring& path) {
    UndoStore* store = storeFor(path);
    if (store == nullptr) {
        logLine(path + L" kept: it is not a full path");
        return false;
    }
    return store->take(path);
}

bool UndoTransaction::keepCopy(const std::wstring& path) {
    UndoStore* store = storeFor(path);
    return store != nullptr && store->keepCopy(path);
}

std::vector<unsigned char> UndoTransaction::journalBytes() {
    JournalWriter writer;
    journalObjectMap(writer, fileStores_, [](const std::wstring&) { return std::unique_ptr<FileUndoStore>(); });
    journalObjectMap(writer, registryStores_,
                     [](const std::wstring&) { return std::unique_ptr<RegistryUndoStore>(); });
    writer.boolean(active_);
    return writer.bytes();
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
    if (!sound) {
        // Nothing read from a damaged journal may act on the disk.
        for (auto& entry : files) entry.second->disarm();
        for (auto& entry : registry) entry.second->disarm();
        logLine(L"the journal " + journal_ + L" is damaged; it is ignored");
        return false;
    }
    fileStores_ = std::move(files);
    registryStores_ = std::move(registry);
    active_ = active;
    return true;
}

void UndoTransaction::clearStores() {
    fileStores_.clear();
    registryStores_.clear();
}

bool UndoTransaction::saveJournal() {
    const std::vector<unsigned char> bytes = journalBytes();
    const std::wstring& path = journal_;
    const unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) {
        logLine(L"cannot write the journal " + path);
        return false;
    }
    DWORD written = 0;
    const bool ok = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    if (!ok) logLine(L"cannot write the journal " + path);
    return ok;
}

bool UndoTransaction::loadJournal() {
    clearStores();
    const std::wstring& path = journal_;
    const unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_TEMPORARY, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart == 0) {
        logLine(L"no journal at " + path + L": nothing to do");
        return false;
    }
    if (size.QuadPart > kLargestJournal) {
        logLine(L"the journal " + path + L" is too large; it is ignored");
        return false;
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size()) {
        logLine(L"cannot read the journal " + path);
        return false;
    }
    return readJournal(bytes);
}

void UndoTransaction::keep() {
    active_ = false;
    for (auto& entry : fileStores_) entry.second->keep();
    for (auto& entry : registryStores_) entry.second->keep();
}

bool UndoTransaction::restoreAll(RestoreReport* report) {
    bool all = true;
    const auto restore = [&](UndoStore& store) {
        if (store.restoreAll(report)) return;
        all = false;
        store.disarm();
        if (report) report->onStoreKept(store);
        else if (store.key() != kRegistryStoreKey)
            logLine(L"what could not be put back stays in " + store.recordedLocation());
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
