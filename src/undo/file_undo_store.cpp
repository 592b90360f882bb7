#include "undo/file_undo_store.h"

#include <windows.h>

#include "common/text.h"
#include "win/folder_removal.h"
#include "win/guid_text.h"
#include "win/paths.h"

namespace tidewell {

namespace {
constexpr DWORD kStoreAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::wstring storeBase(const std::wstring& root) {
    std::wstring base = root;
    ensureTrailingBackslash(base);
    return base + kStoreFolderName;
}
}  // namespace

FileUndoStore::~FileUndoStore() {
    if (!finishOnDestroy_) return;
    try {
        finish();
    } catch (...) {
        // A store that cannot finish leaves its folder behind; nothing is lost.
    }
}

bool FileUndoStore::isNetworkStore() const { return isNetworkPath(key_.size() < 3 ? key_ + L"\\" : key_); }

std::wstring FileUndoStore::prepareLocation() {
    std::wstring base = storeBase(key_);
    if (!isFolder(base) && !createFolder(base)) {
        logLine(L"cannot create " + base + L"; the store goes into the temporary folder");
        base = storeBase(tempFolder());
        createFolder(base);
    }
    setAttributes(base, kStoreAttributes);
    const std::wstring guid = newGuidText();
    if (guid.empty()) return {};
    const std::wstring folder = base + L"\\" + guid;
    if (!isFolder(folder) && !createFolder(folder)) {
        logLine(L"cannot create the store folder " + folder);
        return {};
    }
    prepared_ = true;
    return folder;
}

bool FileUndoStore::isStoreLocation(const std::wstring& location) const {
    return isGuidChildOf(location, storeBase(key_)) || isGuidChildOf(location, storeBase(tempFolder()));
}

bool FileUndoStore::take(const std::wstring& path) {
    if (location().empty()) return false;
    const std::wstring item = record(path);
    createFolder(item);
    if (isNetworkPath(path)) {
        // Recorded until the script has run: an item it did not confirm in the store is
        // where it was (or only partly copied), and no record may bring it back over the
        // original.
        const auto settle = [this, path](bool arrived) {
            if (arrived) return;
            forget(path);
            logLine(L"network item " + path + L" stays in place: the user's script did not confirm its move");
        };
        if (appendNetworkCommands(path, buildMoveCommands(path, item, SourcePart::Item, DestinationFolder::Create),
                                  L" kept", settle))
            return true;
        forget(path);
        ::RemoveDirectoryW(item.c_str());
        return false;
    }
    if (takeLocal(path, item)) return true;
    // Nothing reached the item folder: the item stays where it was and is not recorded.
    if (isFolderEmpty(item)) {
        forget(path);
        ::RemoveDirectoryW(item.c_str());
    }
    return false;
}

bool FileUndoStore::appendNetworkCommands(const std::wstring& path, const std::wstring& commands,
                                          const wchar_t* outcome, ArrivalReport settle) {
    // The user's account can reach the share; the installer's may not.
    if (script_ != nullptr && script_->add(commands, std::move(settle))) return true;
    logLine(L"network item " + path + outcome +
            (script_ == nullptr ? L": no script for network items" : L": it cannot be written into the script"));
    return false;
}

bool FileUndoStore::takeLocal(const std::wstring& path, const std::wstring& item) {
    if (isFolder(path)) {
        moveNow(path, item, SourcePart::Item, DestinationFolder::Existing, log_);
        if (!pathExists(path)) return true;
        logLine(L"could not move folder " + path + L" into " + item);
        return false;
    }
    if (!pathExists(path)) return false;
    return moveFileOrFolder(path, item);
}

bool FileUndoStore::keepCopy(const std::wstring& path) {
    if (location().empty()) return false;
    const std::wstring item = record(path);
    createFolder(item);
    if (isNetworkPath(path)) {
        const auto settle = [this, path](bool arrived) {
            if (arrived) return;
            forget(path);
            logLine(L"network item " + path + L" not copied: the user's script did not confirm the copy");
        };
        if (appendNetworkCommands(path, buildCopyCommands(path, item, SourcePart::Item, DestinationFolder::Create),
                                  L" not copied", settle))
            return true;
    } else if (isFolder(path)) {
        if (copyNow(path, item, SourcePart::Item, DestinationFolder::Existing, log_) &&
            pathExists(item + L"\\" + leafName(path)))
            return true;
        logLine(L"could not copy folder " + path + L" into " + item);
    } else if (!pathExists(path)) {
        logLine(path + L" not copied: it does not exist");
    } else if (copyFile(path, item + L"\\" + leafName(path), ExistingFile::Replace)) {
        return true;
    } else {
        logLine(L"could not copy " + path + L" into " + item + L" (error " + toDecimal(::GetLastError()) + L")");
    }
    // Nothing is recorded for an item without a copy: a restore leaves its place alone.
    forget(path);
    removeFolderTree(item, nullptr);
    return false;
}

bool FileUndoStore::restoreItem(const std::wstring& path) {
    const auto found = storedOf_.find(path);
    if (found == storedOf_.end()) return false;
    const std::wstring stored = found->second;
    const std::wstring destination = parentFolder(path);
    if (isNetworkPath(path)) {
        // Only the recorded leaf goes back, and the item stays recorded (so its store is
        // not deleted) until the script confirms that it arrived.
        const std::wstring leaf = stored + L"\\" + leafName(path);
        const auto settle = [this, path, stored](bool arrived) {
            if (arrived) {
                forget(path);
                return;
            }
            disarm();
            logLine(L"network item " + path + L" was not put back: the user's script did not confirm it; it stays in " +
                    stored);
        };
        if (script_ == nullptr ||
            !script_->add(buildMoveCommands(leaf, destination, SourcePart::Item, DestinationFolder::Create), settle)) {
            logLine(L"cannot schedule the return of network item " + path + L"; it stays in " + stored);
            return false;
        }
        return true;
    }
    if (isFolder(stored)) {
        // A file standing where the item's folder belongs would be replaced by the item
        // itself: the move commands take a file destination as a new name.
        if (pathExists(destination) && !isFolder(destination)) {
            logLine(L"could not put back " + path + L": " + destination + L" is a file, not a folder; the item stays in " +
                    stored);
            return false;
        }
        moveNow(stored, destination, SourcePart::Contents, DestinationFolder::Create, log_);
        removeFolderIfEmpty(stored, nullptr);
        if (pathExists(stored) || !pathExists(path)) {
            logLine(L"could not put back " + path + L"; what is left stays in " + stored);
            return false;
        }
    } else if (!pathExists(stored) || !moveFileOrFolder(stored, path)) {
        logLine(L"could not put back " + path);
        return false;
    }
    forget(path);
    return true;
}

bool FileUndoStore::discardItem(const std::wstring& path) {
    const auto found = storedOf_.find(path);
    if (found == storedOf_.end()) return false;
    if (!deleteFile(found->second)) return false;
    forget(path);
    return true;
}

bool FileUndoStore::finish() {
    for (const auto& path : storedPaths()) discardItem(path);
    if (location_.empty()) return true;
    if (pathExists(location_) && !removeFolderTree(location_, nullptr))
        logLine(L"could not delete the store " + location_);
    const std::wstring base = parentFolder(location_);
    if (isFolderEmpty(base)) removeFolderIfEmpty(base, nullptr);
    return true;
}

}  // namespace tidewell
