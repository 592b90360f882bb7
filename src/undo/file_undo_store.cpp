#include "undo/file_undo_store.h"

#include <windows.h>

#include "common/text.h"
#include "win/folder_entries.h"
#include "win/folder_removal.h"
#include "win/held_folder.h"
#include "win/folder_tree.h"
#include "win/guid_text.h"
#include "win/inherited_access.h"
#include "win/named_object.h"
#include "win/paths.h"
#include "win/protected_security.h"
#include "win/tree_copy.h"
#include "win/tree_delete.h"
#include "win/tree_move.h"

namespace tidewell {

namespace {
constexpr DWORD kStoreAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::wstring storeBase(const std::wstring& root) {
    std::wstring base = root;
    ensureTrailingBackslash(base);
    return base + kStoreFolderName;
}

std::wstring errorText(DWORD error) { return concat({L" (error ", toDecimal(error), L")"}); }

// The item's place in its item folder: the recorded leaf, nothing else that may be there.
std::wstring storedLeaf(const std::wstring& item, const std::wstring& path) {
    std::wstring work = path;
    removeTrailingBackslash(work);
    return concat({item, L"\\", leafName(work)});
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

bool FileUndoStore::isNetworkStore() const { return isNetworkPath(key_.size() < 3 ? concat({key_, L"\\"}) : key_); }

bool FileUndoStore::trustedBase(const std::wstring& base) {
    // Standing already, it must be a real folder of a trusted owner that only trusted
    // accounts can change (each refusal is told apart in the log).
    const NamedObject existing = openNamed(base, READ_CONTROL);
    const bool folder = existing.kind == Named::Object && existing.isFolder();
    const bool owned = folder && hasTrustedOwner(existing.handle.get());
    if (owned && onlyTrustedCanWrite(existing.handle.get())) return true;
    if (existing.kind == Named::Link || existing.kind == Named::FollowedLink)
        logLine({L"store base ", base, L" refused: it is a link"});
    else if (owned)
        logLine({L"store base ", base, L" refused: accounts other than SYSTEM, Administrators and this one can change it"});
    else if (folder)
        logLine({L"store base ", base, L" refused: another account owns it"});
    else
        logLine({L"cannot create the store base ", base, errorText(existing.error)});
    return false;
}

std::wstring FileUndoStore::prepareLocation() {
    ProtectedSecurity security;
    if (security.attributes() == nullptr) {
        logLine({L"no store on ", key_, L": its security cannot be built"});
        return {};
    }
    const std::wstring guid = newGuidText();
    if (guid.empty()) return {};
    std::vector<std::wstring> bases{storeBase(key_)};
    if (!tempFolder().empty()) bases.push_back(storeBase(tempFolder()));
    for (const auto& base : bases) {
        const bool standing = fileAttributes(base) != INVALID_FILE_ATTRIBUTES || isLink(base);
        if (standing && !trustedBase(base)) continue;
        const std::wstring folder = concat({base, L"\\", guid});
        // Named before anything is made: a run that ends at any point leaves nothing on
        // disk that its record does not name.
        location_ = folder;
        if (ahead_ != nullptr && !ahead_->beforeLocation(*this, folder)) {
            location_.clear();
            logLine({L"no store on ", key_, L": its record cannot be written"});
            return {};
        }
        // Made new, the base is ours, with the store's security.
        const bool madeBase = createFolder(base, security.attributes());
        if (!madeBase && (::GetLastError() != ERROR_ALREADY_EXISTS || !trustedBase(base))) {
            if (::GetLastError() != ERROR_ALREADY_EXISTS)
                logLine({L"cannot create the store base ", base, errorText(::GetLastError())});
            location_.clear();
            continue;
        }
        setAttributes(base, kStoreAttributes);
        if (!createFolder(folder, security.attributes())) {
            logLine({L"cannot create the store folder ", folder, errorText(::GetLastError())});
            // A base that holds no store is not left behind.
            if (isFolderEmpty(base)) removeFolderIfEmpty(base, nullptr);
            location_.clear();
            return {};
        }
        if (base != bases.front()) logLine({L"the store of ", key_, L" goes into ", base});
        prepared_ = true;
        return folder;
    }
    logLine({L"no store on ", key_, L": its items stay in place"});
    return {};
}

bool FileUndoStore::hasTrustedLocation() const {
    // A share's folders are the user's script's to reach, in the user's own account.
    if (recordedLocation().empty() || isNetworkStore()) return true;
    for (const std::wstring& folder : {parentFolder(recordedLocation()), recordedLocation()}) {
        const NamedObject opened = openNamed(folder, READ_CONTROL);
        if (opened.kind == Named::Missing) continue;
        if (opened.kind == Named::Object && opened.isFolder() && isTrustedObject(opened.handle.get())) continue;
        logLine({L"the store ", recordedLocation(), L" is not used: ", folder,
                 L" is a link, not a folder, or not the library's own (owner or access); its items are left alone"});
        return false;
    }
    return true;
}

bool FileUndoStore::isStoreLocation(const std::wstring& location) const {
    return isGuidChildOf(location, storeBase(key_)) || isGuidChildOf(location, storeBase(tempFolder()));
}

bool FileUndoStore::take(const std::wstring& given) {
    std::wstring path = given;
    trueName(path);
    if (storedOf_.count(path) != 0) {
        logLine({path, L" is in the store already"});
        return true;
    }
    if (isNetworkPath(path)) {
        if (location().empty()) return false;
        const std::wstring item = record(path);
        // Written ahead as for a local item: a run ended before or while the script runs
        // leaves a record that names where the item may be.
        if (ahead_ != nullptr && !ahead_->beforeItem(*this, path, item)) {
            forget(path);
            logLine({L"network item ", path, L" stays in place: its undo record cannot be written"});
            return false;
        }
        createFolder(item);
        // Recorded until the script has run: an item it did not confirm in the store is
        // where it was (or only partly copied), and no record may bring it back over the
        // original.
        const auto settle = [this, path](bool arrived) {
            if (arrived) return;
            forget(path);
            logLine({L"network item ", path, L" stays in place: the user's script did not confirm its move"});
        };
        if (appendNetworkCommands(path, buildMoveCommands(path, item, SourcePart::Item, DestinationFolder::Create, ExistingTarget::Refuse),
                                  L" kept", settle))
            return true;
        forget(path);
        removeEmptyFolder(item);
        return false;
    }
    NamedObject source = openNamed(path, DELETE);
    if (source.kind == Named::Missing) return false;
    if (source.kind == Named::FollowedLink && !source.linkOnTheWay.empty()) {
        logLine({path, L" kept: ", linkReason(source)});
        ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
        return false;
    }
    if (source.kind == Named::FollowedLink) {
        logLine({L"link ", path, L" kept: it cannot be moved here without moving what it points to"});
        return false;
    }
    if (source.kind == Named::Failed) {
        logLine({path, L" kept: it cannot be opened", errorText(source.error)});
        return false;
    }
    if (location().empty()) {
        logLine({path, L" stays in place: there is no store for it"});
        return false;
    }
    const std::wstring item = record(path);
    // Written ahead: from here on an undo knows where the item goes, whatever happens.
    if (ahead_ != nullptr && !ahead_->beforeItem(*this, path, item)) {
        forget(path);
        logLine({path, L" stays in place: its undo record cannot be written"});
        return false;
    }
    if (!createFolder(item)) {
        const DWORD error = ::GetLastError();
        forget(path);
        logLine({path, L" stays in place: cannot create ", item, errorText(error)});
        return false;
    }
    if (renameOpened(source.handle.get(), storedLeaf(item, path))) return true;
    const DWORD error = ::GetLastError();
    forget(path);
    removeEmptyFolder(item);
    logLine({path, L" stays in place: it cannot be moved into ", item, errorText(error)});
    return false;
}

bool FileUndoStore::appendNetworkCommands(const std::wstring& path, const ScriptItem& commands,
                                          const wchar_t* outcome, ArrivalReport settle) {
    // The user's account can reach the share; the installer's may not.
    if (script_ != nullptr && script_->add(commands, std::move(settle))) return true;
    logLine({L"network item ", path, outcome,
            (script_ == nullptr ? L": no script for network items" : L": it cannot be written into the script")});
    return false;
}

KeptCopy FileUndoStore::keepCopy(const std::wstring& given) {
    std::wstring path = given;
    trueName(path);
    if (storedOf_.count(path) != 0) {
        logLine({path, L" is backed up already"});
        return {Copied::Whole};
    }
    if (location().empty()) return {Copied::Failed, ERROR_PATH_NOT_FOUND};
    if (isNetworkPath(path)) {
        const std::wstring item = record(path);
        if (ahead_ != nullptr && !ahead_->beforeItem(*this, path, item)) {
            forget(path);
            logLine({L"network item ", path, L" not copied: its record cannot be written"});
            return {Copied::Failed, ERROR_WRITE_FAULT};
        }
        createFolder(item);
        const auto settle = [this, path](bool arrived) {
            if (arrived) return;
            forget(path);
            logLine({L"network item ", path, L" not copied: the user's script did not confirm the copy"});
        };
        if (appendNetworkCommands(path, buildCopyCommands(path, item, SourcePart::Item, DestinationFolder::Create),
                                  L" not copied", settle))
            return {Copied::Whole};
        forget(path);
        deleteTree(item, log_);
        return {Copied::Failed, ERROR_WRITE_FAULT};
    }
    const NamedObject source = openNamed(path, FILE_READ_ATTRIBUTES);
    if (source.kind == Named::Missing) {
        logLine({path, L" not copied: it does not exist"});
        return {Copied::Missing};
    }
    if (source.kind == Named::Link || source.kind == Named::FollowedLink) {
        logLine({path, L" not copied: ", linkReason(source)});
        return {Copied::Link};
    }
    if (source.kind != Named::Object) {
        const DWORD error = source.error != ERROR_SUCCESS ? source.error : ERROR_OPEN_FAILED;
        logLine({path, L" not copied", errorText(error)});
        return {Copied::Failed, error};
    }
    const std::wstring item = record(path);
    DWORD error = ERROR_SUCCESS;
    if (ahead_ != nullptr && !ahead_->beforeItem(*this, path, item)) {
        forget(path);
        logLine({path, L" not copied: its record cannot be written"});
        return {Copied::Failed, ERROR_WRITE_FAULT};
    }
    if (!createFolder(item)) {
        error = ::GetLastError();
    } else {
        const CopyOutcome copy = copyTree(path, storedLeaf(item, path), log_);
        if (copy.complete && sameTree(path, storedLeaf(item, path))) return {Copied::Whole};
        error = copy.error != ERROR_SUCCESS ? copy.error : ERROR_WRITE_FAULT;
    }
    // A partial copy is no backup: a restore must not put it back over the original.
    logLine({L"could not copy ", path, L" into ", item, errorText(error)});
    forget(path);
    deleteTree(item, log_);
    return {Copied::Failed, error};
}

bool FileUndoStore::restoreItem(const std::wstring& path) {
    const auto found = storedOf_.find(path);
    if (found == storedOf_.end()) return false;
    const std::wstring stored = found->second;
    const ExistingTarget existing =
        restoreTarget_ == RestoreTarget::Replace ? ExistingTarget::Replace : ExistingTarget::Refuse;
    if (isNetworkPath(path)) {
        const std::wstring destination = parentFolder(path);
        // Only the recorded leaf goes back, and the item stays recorded (so its store is
        // not deleted) until the script confirms that it arrived.
        const std::wstring leaf = storedLeaf(stored, path);
        const auto settle = [this, path, stored, existing](bool arrived) {
            if (arrived) {
                forget(path);
                return;
            }
            disarm();
            logLine({L"network item ", path,
                     existing == ExistingTarget::Refuse
                         ? L" was not put back: something stands there, or the user's script did not confirm it; it stays in "
                         : L" was not put back: the user's script did not confirm it; it stays in ",
                     stored});
        };
        if (script_ == nullptr ||
            !script_->add(buildMoveCommands(leaf, destination, SourcePart::Item, DestinationFolder::Create, existing),
                          settle)) {
            logLine({L"cannot schedule the return of network item ", path, L"; it stays in ", stored});
            return false;
        }
        return true;
    }
    const std::wstring leaf = storedLeaf(stored, path);
    if (fileAttributes(leaf) == INVALID_FILE_ATTRIBUTES && !isLink(leaf) && !pathExists(leaf)) {
        // Recorded ahead of a move that never happened: the item is where it was.
        logLine({path, L" was never moved: it is in place"});
        removeEmptyFolder(stored);
        forget(path);
        return true;
    }
    // Its folder is opened from the drive's root, never through a link that someone put
    // on the way since the item was taken.
    const HeldFolder folder(parentFolder(path), MissingFolders::Create);
    if (folder.byHandle() && !folder.isOpen()) {
        logLine({L"could not put back ", path, L": ", folder.stoppedAt(),
                (folder.linkOnTheWay() ? L" is a link" : L" cannot be opened"), L" (error ",
                toDecimal(folder.error()), L"); it stays in ", stored});
        return false;
    }
    if (!folder.byHandle()) makeFolderTree(parentFolder(path));
    switch (moveTree(leaf, path, existing, log_, &folder)) {
    case MoveResult::Moved:
        // A copy (what a backup's restore puts back) was made with the store's access.
        if (restoreTarget_ == RestoreTarget::Replace && !inheritAccessFromParent(path))
            logLine({L"the access of ", path, L" (put back) could not be reset to what its folder hands down"});
        removeEmptyFolder(stored);
        forget(path);
        return true;
    case MoveResult::TargetExists:
        logLine({L"could not put back ", path, L": something newer stands there; the item stays in ", stored});
        return false;
    case MoveResult::Failed:
        break;
    }
    logLine({L"could not put back ", path, L"; it stays in ", stored});
    return false;
}

bool FileUndoStore::discardItem(const std::wstring& path) {
    const auto found = storedOf_.find(path);
    if (found == storedOf_.end()) return false;
    if (!deleteTree(found->second, log_)) return false;
    forget(path);
    return true;
}

bool FileUndoStore::finish() {
    bool all = true;
    for (const auto& path : storedPaths()) all = discardItem(path) && all;
    if (location_.empty()) return all;
    if (!deleteTree(location_, log_)) {
        logLine({L"could not delete the store ", location_});
        return false;
    }
    // An item that could not be deleted by itself went with its store: none is left to name.
    forgetAll();
    // The base goes with its last store; one that is left empty counts as not finished,
    // so that the journal keeps naming it for the next run.
    const std::wstring base = parentFolder(location_);
    std::vector<FolderEntry> entries;
    const bool listed = listFolder(base, entries);
    if (!listed && fileAttributes(base) == INVALID_FILE_ATTRIBUTES &&
        (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND))
        return true;  // gone with another store already
    if (!listed || (entries.empty() && !removeEmptyFolder(base))) {
        logLine({L"could not delete the store base ", base, errorText(::GetLastError())});
        return false;
    }
    return true;
}

}  // namespace tidewell
