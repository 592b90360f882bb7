#include "files/registry_undo_store.h"

namespace tidewell {

bool RegistryUndoStore::take(const std::wstring& path) {
    logLine(L"registry item " + path + L" kept: registry keys cannot be taken into an undo store yet");
    return false;
}

bool RegistryUndoStore::keepCopy(const std::wstring& path) {
    logLine(L"registry item " + path + L" not copied: registry keys cannot be kept in an undo store yet");
    return false;
}

bool RegistryUndoStore::restoreItem(const std::wstring&) { return false; }
bool RegistryUndoStore::discardItem(const std::wstring&) { return false; }
bool RegistryUndoStore::restoreAll() { return storedOf_.empty(); }
bool RegistryUndoStore::finish() { return storedOf_.empty() && folder_.empty(); }
std::wstring RegistryUndoStore::prepareFolder() { return {}; }

bool RegistryUndoStore::isStoreFolder(const std::wstring& folder) const {
    return isGuidFolderOf(folder, kRegistryStoreBase);
}

}  // namespace tidewell
