#pragma once
// The undo store for registry keys: keeps its members and journal fields like a file
// store, with its store key "HKEY_CURRENT_USER\Software\VU_RecycleBin\{GUID}". The backup
// copies keys into numbered subkeys of it ("<store key>\<n>\<leaf>") and copies them back.
// Registry work uses the library's own registry view.
#include "undo/undo_store.h"

namespace tidewell {

inline constexpr const wchar_t* kRegistryStoreBase = L"HKEY_CURRENT_USER\\Software\\VU_RecycleBin";

class RegistryUndoStore final : public UndoStore {
public:
    using UndoStore::UndoStore;
    ~RegistryUndoStore() override;  // finishes while finishOnDestroy is set

    // Keys are never moved into the store: an undoable removal does not take registry
    // paths. Always false.
    bool take(const std::wstring& path) override;
    // Copies the key's values and subkeys into "<store key>\<n>\<leaf>"; false (nothing
    // recorded, nothing left in the store) when the key cannot be read or copied.
    KeptCopy keepCopy(const std::wstring& path) override;
    // Copies the saved values and subkeys into the key (created when missing); values of
    // other names stay. The copy stays in the store until finish.
    bool restoreItem(const std::wstring& path) override;
    // Deletes the item's numbered key with the copy in it.
    bool discardItem(const std::wstring& path) override;
    // Deletes every copy, the store key, and "VU_RecycleBin" when nothing else is in it.
    bool finish() override;

protected:
    std::wstring prepareLocation() override;
    bool isStoreLocation(const std::wstring& location) const override;
    long long itemNumber(const std::wstring& rest) const override;
};

}  // namespace tidewell
