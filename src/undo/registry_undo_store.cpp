#include "undo/registry_undo_store.h"

#include <memory>
#include <vector>

#include "common/text.h"
#include "win/guid_text.h"
#include "win/paths.h"
#include "win/registry_key.h"

namespace tidewell {

namespace {

// Opens the parent of a full registry path (a root when the path has one level below
// it) and gives the leaf; not open when the path does not parse or has no leaf.
struct ParentKey {
    std::unique_ptr<RegistryKey> key;
    std::wstring leaf;

    ParentKey(const std::wstring& path, REGSAM extraAccess) {
        HKEY root = nullptr;
        std::wstring subkey;
        if (!parseRegistryPath(path, root, subkey)) return;
        PathParts parts = splitAtLastBackslash(subkey);
        leaf = std::move(parts.leaf);
        if (leaf.empty()) return;
        key = std::make_unique<RegistryKey>(root, parts.parent, IfMissing::Fail, extraAccess);
    }
    bool isOpen() const { return key && key->isOpen(); }
    // The full path of the registry link that kept the parent closed; empty when none did.
    std::wstring link() const {
        if (!key || key->linkOnTheWay().empty()) return {};
        return concat({rootLongName(key->root()), L"\\", key->linkOnTheWay()});
    }
};

std::wstring linkError() { return concat({L" is a registry link (error ", toDecimal(kRegistryLinkError), L")"}); }

}  // namespace

RegistryUndoStore::~RegistryUndoStore() {
    if (!finishOnDestroy_) return;
    try {
        finish();
    } catch (...) {
        // A store that cannot finish leaves its key behind; nothing is lost.
    }
}

bool RegistryUndoStore::take(const std::wstring& path) {
    logLine({L"registry item ", path, L" kept: registry keys are not moved into an undo store"});
    return false;
}

std::wstring RegistryUndoStore::prepareLocation() {
    const std::wstring guid = newGuidText();
    if (guid.empty()) return {};
    const std::wstring key = concat({std::wstring(kRegistryStoreBase), L"\\", guid});
    // Named before it is made, as a file store's folder.
    location_ = key;
    if (ahead_ != nullptr && !ahead_->beforeLocation(*this, key)) {
        location_.clear();
        logLine({L"cannot create the store key ", key});
        return {};
    }
    if (!RegistryKey(key, IfMissing::Create).isOpen()) {
        location_.clear();
        logLine({L"cannot create the store key ", key});
        return {};
    }
    prepared_ = true;
    return key;
}

KeptCopy RegistryUndoStore::keepCopy(const std::wstring& path) {
    const ParentKey source(path, 0);
    if (source.leaf.empty()) {
        logLine({L"registry item ", path, L" not copied: it names no key below a root"});
        return {Copied::Failed, ERROR_BAD_PATHNAME};
    }
    // Missing only when the key itself cannot be found, looked at a second time.
    const auto missing = [&] { return RegistryKey(path, IfMissing::Fail).error() == ERROR_FILE_NOT_FOUND; };
    if (!source.isOpen()) {
        if (!source.link().empty()) {
            logLine({L"registry item ", path, L" not copied: ", source.link(), linkError()});
            return {Copied::Link};
        }
        if (source.key && source.key->error() == ERROR_FILE_NOT_FOUND && missing()) {
            logLine({L"registry item ", path, L" not copied: it does not exist"});
            return {Copied::Missing};
        }
        const DWORD error = source.key ? static_cast<DWORD>(source.key->error()) : ERROR_BAD_PATHNAME;
        logLine({L"registry item ", path, L" not copied: its parent key cannot be opened (error ", toDecimal(error), L")"});
        return {Copied::Failed, error};
    }
    if (location().empty()) return {Copied::Failed, ERROR_PATH_NOT_FOUND};
    const std::wstring item = record(path, source.leaf);
    if (ahead_ != nullptr && !ahead_->beforeItem(*this, path, item)) {
        forget(path);
        logLine({L"registry item ", path, L" not copied: its record cannot be written"});
        return {Copied::Failed, ERROR_WRITE_FAULT};
    }
    KeyCopy copied;
    {
        const RegistryKey copy(item, IfMissing::Create);
        copied = copy.isOpen() ? copyKeyTree(source.key->handle(), source.leaf, copy.handle())
                               : KeyCopy{KeyCopyResult::Failed, copy.error()};
    }
    if (copied.copied()) {
        if (copied.linksLeftOut > 0)
            logLine({L"registry item ", path, L": ", toDecimal(static_cast<long long>(copied.linksLeftOut)),
                     L" registry links inside it were left out"});
        return {Copied::Whole};
    }
    const ParentKey numbered(splitAtLastBackslash(item).parent, KEY_ALL_ACCESS);
    if (numbered.isOpen()) deleteKeyTree(numbered.key->handle(), numbered.leaf);
    forget(path);
    if (copied.result == KeyCopyResult::SourceIsLink) {
        logLine({L"registry item ", path, L" not copied: it", linkError()});
        return {Copied::Link};
    }
    if (missing()) {
        logLine({L"registry item ", path, L" not copied: it does not exist"});
        return {Copied::Missing};
    }
    const DWORD error = copied.error != ERROR_SUCCESS ? static_cast<DWORD>(copied.error) : ERROR_CANTREAD;
    logLine({L"registry item ", path, L" not copied: it cannot be read (error ", toDecimal(error), L")"});
    return {Copied::Failed, error};
}

bool RegistryUndoStore::restoreItem(const std::wstring& path) {
    const auto found = storedOf_.find(path);
    if (found == storedOf_.end()) return false;
    // A journal kept because its leftover record could not be written still names items
    // that went back before their copies were deleted.
    if (RegistryKey(found->second, IfMissing::Fail).error() == ERROR_FILE_NOT_FOUND &&
        RegistryKey(path, IfMissing::Fail).isOpen()) {
        logLine({path, L" is in place: it was put back before its copy was deleted"});
        forget(path);
        return true;
    }
    const ParentKey copy(found->second, 0);
    if (!copy.isOpen()) {
        logLine({L"could not restore ", path, L": the store key ", found->second, L" cannot be opened"});
        return false;
    }
    // Opened key by key: nothing is written through a registry link put on the way (or
    // at the key) since the backup.
    const RegistryKey original(path, IfMissing::Create, KEY_ALL_ACCESS);
    if (!original.isOpen()) {
        if (!original.linkOnTheWay().empty())
            logLine({L"could not restore ", path, L": ", rootLongName(original.root()), L"\\", original.linkOnTheWay(),
                     linkError(), L"; the copy stays in ", found->second});
        else
            logLine({L"could not restore ", path, L": the key cannot be created or opened for writing"});
        return false;
    }
    const KeyCopy copied = copyKeyTree(copy.key->handle(), copy.leaf, original.handle());
    if (copied.copied()) {
        // Back in place: the copy goes with the store's key.
        forget(path);
        return true;
    }
    logLine({L"could not restore ", path, L" completely (error ", toDecimal(copied.error), L"); the copy stays in ",
             found->second});
    return false;
}

bool RegistryUndoStore::discardItem(const std::wstring& path) {
    const auto found = storedOf_.find(path);
    if (found == storedOf_.end()) return false;
    const std::wstring numberedKey = splitAtLastBackslash(found->second).parent;
    const ParentKey numbered(numberedKey, KEY_ALL_ACCESS);
    const bool deleted = numbered.isOpen() && deleteKeyTree(numbered.key->handle(), numbered.leaf);
    // A copy that went with its store's key earlier is deleted too.
    if (!deleted && RegistryKey(numberedKey, IfMissing::Fail).error() != ERROR_FILE_NOT_FOUND) return false;
    forget(path);
    return true;
}

bool RegistryUndoStore::finish() {
    bool all = true;
    for (const auto& path : storedPaths()) all = discardItem(path) && all;
    if (location_.empty()) return all;
    const auto gone = [](const std::wstring& key) { return RegistryKey(key, IfMissing::Fail).error() == ERROR_FILE_NOT_FOUND; };
    const ParentKey base(location_, KEY_ALL_ACCESS);
    if (!base.isOpen() && !gone(location_)) return false;
    if (base.isOpen() && !deleteKeyTree(base.key->handle(), base.leaf) && !gone(location_)) {
        logLine({L"could not delete the store key ", location_});
        return false;
    }
    // A copy that could not be deleted by itself went with its store: none is left to name.
    forgetAll();
    if (!base.isOpen()) return true;
    // "VU_RecycleBin" goes only when no other store is left in it; one left empty is not finished.
    const std::wstring storeBase = splitAtLastBackslash(location_).parent;
    const ParentKey software(storeBase, KEY_ALL_ACCESS);
    if ((software.isOpen() && software.key->deleteSubkey(software.leaf)) || gone(storeBase)) return true;
    const RegistryKey remaining(storeBase, IfMissing::Fail);
    DWORD subkeys = 0;
    if (remaining.isOpen() && ::RegQueryInfoKeyW(remaining.handle(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                                 nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subkeys > 0)
        return true;
    logLine({L"could not delete the store key ", storeBase});
    return false;
}

bool RegistryUndoStore::isStoreLocation(const std::wstring& location) const {
    return isGuidChildOf(location, kRegistryStoreBase);
}

long long RegistryUndoStore::itemNumber(const std::wstring& rest) const {
    const size_t at = rest.find(L'\\');
    if (at == std::wstring::npos || at + 1 >= rest.size() || rest.find(L'\\', at + 1) != std::wstring::npos)
        return -1;
    return UndoStore::itemNumber(rest.substr(0, at));
}

}  // namespace tidewell
