#pragma once
// The undo store of one drive or share: taken items move into numbered item folders of
// "<root>\VU_RecycleBin\{GUID}" and back, each a rename on its own volume. Network items
// move through the CommandScript, which runs in the account of the user who started the
// installation.
#include <windows.h>

#include "undo/undo_store.h"

namespace tidewell {

inline constexpr const wchar_t* kStoreFolderName = L"VU_RecycleBin";

class FileUndoStore final : public UndoStore {
public:
    using UndoStore::UndoStore;
    ~FileUndoStore() override;  // finishes while finishOnDestroy is set

    bool take(const std::wstring& path) override;
    KeptCopy keepCopy(const std::wstring& path) override;
    bool restoreItem(const std::wstring& path) override;
    bool discardItem(const std::wstring& path) override;
    bool finish() override;

    // True for a store of a share or of a drive whose type is remote.
    bool isNetworkStore() const override;
    // The location and its base are real folders (no link), owned by a trusted account and
    // changeable only by trusted accounts; a missing one holds nothing to act on.
    bool hasTrustedLocation() const override;

protected:
    std::wstring prepareLocation() override;
    bool isStoreLocation(const std::wstring& location) const override;

private:
    // Puts a network item's commands into the script; false, logged as "network item
    // <path><outcome>: ...", when there is no script or the commands cannot go into it.
    // The settle report hears after the script's run whether the item arrived.
    bool appendNetworkCommands(const std::wstring& path, const ScriptItem& commands, const wchar_t* outcome,
                               ArrivalReport settle);
    // An existing store base can be used when it is a real folder of a trusted owner;
    // false (logged) otherwise.
    bool trustedBase(const std::wstring& base);
};

}  // namespace tidewell
