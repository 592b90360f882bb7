#pragma once
// The undo store for registry keys: keeps its members and journal fields like a file
// store, with its store key under "HKEY_CURRENT_USER\Software\VU_RecycleBin\{GUID}".
// Moving and copying keys into it belongs to the backup of persistent data; until that
// is built every store operation reports failure and changes nothing (file removal never
// hands a registry path to the transaction).
#include "files/undo_store.h"

namespace tidewell {

inline constexpr const wchar_t* kRegistryStoreBase = L"HKEY_CURRENT_USER\\Software\\VU_RecycleBin";

class RegistryUndoStore final : public UndoStore {
public:
    using UndoStore::UndoStore;
    ~RegistryUndoStore() override = default;

    bool take(const std::wstring& path) override;
    bool keepCopy(const std::wstring& path) override;
    bool restoreItem(const std::wstring& path) override;
    bool discardItem(const std::wstring& path) override;
    bool restoreAll() override;
    bool finish() override;

protected:
    std::wstring prepareFolder() override;
    bool isStoreFolder(const std::wstring& folder) const override;
};

}  // namespace tidewell
