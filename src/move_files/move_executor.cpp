#include "move_files/move_executor.h"

#include "common/text.h"
#include "win/paths.h"
#include "move_files/file_stamp.h"
#include "win/folder_tree.h"
#include "win/held_folder.h"
#include "win/named_object.h"
#include "win/tree_move.h"
#include "move_files/path_checks.h"
#include "msi/session.h"

namespace tidewell {

namespace {

std::wstring quoted(const std::wstring& path) { return concat({L"'", path, L"'"}); }

bool hasAbsolutePaths(const MoveOperation& operation) {
    return isAbsolutePath(operation.source) && isAbsolutePath(operation.destination);
}

// Whether the file at the path is the one the operation was planned for; a work list
// without identities (written by hand or by an earlier version) trusts the path.
bool isPlannedFile(const std::wstring& path, const MoveOperation& operation) {
    if (operation.identity.empty()) return true;
    const auto recorded = parseIdentity(operation.identity);
    const auto found = fileIdentityOf(path);
    return recorded && found && isSameFile(*found, *recorded);
}

}  // namespace

void MoveExecutor::load(const ActionData& data) { operations_ = readMoveWorkList(data, log_); }

void MoveExecutor::run() {
    // What an earlier installation of the product recorded is of no use to this one.
    record_.remove();
    for (const auto& operation : operations_) runOne(operation);
}

void MoveExecutor::undo() {
    record_.load();
    for (const auto& operation : operations_) undoOne(operation);
    record_.remove();
}

bool MoveExecutor::moveInto(const std::wstring& from, const std::wstring& to, ExistingTarget existing) const {
    std::wstring source = from;
    trueName(source);
    // A folder standing at the destination receives the file, as the shell's move did:
    // it is opened from the drive's root like any destination folder.
    std::wstring target = to;
    if (existing == ExistingTarget::Replace && isFolder(to) && !isLink(to)) target = concat({to, L"\\", leafName(source)});
    // The destination's folder is opened from the drive's root, never through a link.
    const HeldFolder folder(parentFolder(target), MissingFolders::Create);
    if (folder.byHandle() && !folder.isOpen()) {
        log_.line({L"not moved to ", quoted(target), L": ", quoted(folder.stoppedAt()),
                  (folder.linkOnTheWay() ? L" is a link" : L" cannot be opened"), L" (error ",
                  toDecimal(folder.error()), L")"});
        return false;
    }
    if (!folder.byHandle()) makeFolderTree(parentFolder(target));
    if (folder.byHandle() && !sameVolume(source, folder)) return moveAcrossVolumes(source, target, existing, folder);
    return moveTree(source, target, existing, &log_, &folder) == MoveResult::Moved;
}

bool MoveExecutor::sameVolume(const std::wstring& source, const HeldFolder& folder) const {
    BY_HANDLE_FILE_INFORMATION there{};
    const NamedObject opened = openNamed(source, FILE_READ_ATTRIBUTES);
    const auto identity = opened.kind == Named::Object ? identityOfHandle(opened.handle.get()) : std::nullopt;
    // What cannot be read goes the ordinary way, which says why it fails.
    return !identity || !::GetFileInformationByHandle(folder.handle(), &there) ||
           identity->volume == there.dwVolumeSerialNumber;
}

bool MoveExecutor::moveAcrossVolumes(const std::wstring& source, const std::wstring& target, ExistingTarget existing,
                                     const HeldFolder& folder) const {
    // The file is copied from the handle that was checked into a new file of the
    // destination's folder, the new file's identity is written ahead, and only then does
    // the source go, through its own handle.
    const NamedObject from = openNamed(source, GENERIC_READ | DELETE);
    if (from.kind != Named::Object || from.isFolder()) {
        log_.line({L"could not move ", quoted(source), L" to another volume: ",
                  (from.kind == Named::Link || from.kind == Named::FollowedLink ? linkReason(from)
                                                                                 : concat({L"error ", toDecimal(from.error)}))});
        return false;
    }
    const std::wstring leaf = leafName(target);
    unique_hfile standing = folder.openEntry(leaf, DELETE | FILE_READ_ATTRIBUTES);
    if (standing) {
        if (existing == ExistingTarget::Refuse) return false;
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!::GetFileInformationByHandleEx(standing.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
            (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !deleteOpened(standing.get(), tag.FileAttributes)) {
            log_.line({L"could not replace ", quoted(target), L" (error ", toDecimal(::GetLastError()), L")"});
            return false;
        }
        standing.reset();
    }
    if (!folder.copyInto(from.handle.get(), leaf)) {
        log_.line({L"could not copy ", quoted(source), L" to ", quoted(target), L" (error ", toDecimal(::GetLastError()), L")"});
        return false;
    }
    unique_hfile copy = folder.openEntry(leaf, DELETE | FILE_READ_ATTRIBUTES);
    const auto made = copy ? identityOfHandle(copy.get()) : std::nullopt;
    if (!made || !record_.add(target, *made)) {
        // Without its record the rollback could not tell this file from one put there later.
        if (copy) deleteOpened(copy.get(), FILE_ATTRIBUTE_NORMAL);
        log_.line({L"not moved ", quoted(source), L": the record of its copy on the other volume cannot be written"});
        return false;
    }
    if (deleteOpened(from.handle.get(), from.attributes)) return true;
    log_.line({L"copied ", quoted(source), L" to ", quoted(target), L", but could not delete it at the source (error ",
              toDecimal(::GetLastError()), L")"});
    return true;
}

bool MoveExecutor::copyInto(const std::wstring& from, const std::wstring& to, const std::wstring& what) const {
    // A copy by name reads through a link: whatever it points to would land at the
    // destination, readable there by whoever planted the link. The file that was checked
    // is the one that is read.
    const NamedObject source = openNamed(from, GENERIC_READ);
    if (source.kind == Named::FollowedLink && !source.linkOnTheWay.empty()) {
        log_.line({L"skipped ", what, L": ", linkReason(source)});
        return false;
    }
    if (source.kind == Named::Link || source.kind == Named::FollowedLink) {
        log_.line({L"skipped ", what, L": the source is a link, and links are not copied"});
        return false;
    }
    const HeldFolder folder(parentFolder(to), MissingFolders::Create);
    if (source.kind == Named::Object && !source.isFolder() && folder.byHandle()) {
        if (!folder.isOpen()) {
            log_.line({L"not copied to ", quoted(to), L": ", quoted(folder.stoppedAt()),
                      (folder.linkOnTheWay() ? L" is a link" : L" cannot be opened"), L" (error ",
                      toDecimal(folder.error()), L")"});
            return false;
        }
        if (folder.copyInto(source.handle.get(), leafName(to))) return true;
    } else if (source.kind == Named::Object && !source.isFolder()) {
        // A share: no folder handle to act through; its own server resolves its links.
        makeFolderTree(parentFolder(to));
        if (copyFile(from, to, ExistingFile::Keep)) return true;
    } else if (source.kind != Named::Failed) {
        ::SetLastError(source.kind == Named::Missing ? ERROR_FILE_NOT_FOUND : ERROR_DIRECTORY);
    } else {
        ::SetLastError(source.error);
    }
    log_.line({L"could not copy ", what, L" (error ", toDecimal(::GetLastError()), L")"});
    return false;
}

void MoveExecutor::runOne(const MoveOperation& operation) {
    if (!hasAbsolutePaths(operation)) {
        log_.line({L"skipped ", quoted(operation.source), L" to ", quoted(operation.destination),
                  L": not absolute paths"});
        return;
    }
    // The destination's folder is made by the copy or move, from the drive's root.
    const std::wstring destinationFolder = parentFolder(operation.destination);
    const std::wstring what = concat({quoted(operation.source), L" to ", quoted(operation.destination)});
    switch (operation.options) {
    case kCopyFile:
        if (copyInto(operation.source, operation.destination, what)) log_.line({L"copied ", what});
        break;
    case kMoveFile:
        if (const NamedObject source = openNamed(operation.source, FILE_READ_ATTRIBUTES);
            source.kind == Named::FollowedLink && !source.linkOnTheWay.empty()) {
            log_.line({L"not moved ", quoted(operation.source), L": ", linkReason(source)});
            break;
        }
        if (!isPlannedFile(operation.source, operation)) {
            log_.line({L"not moved ", quoted(operation.source), L": it is not the file planned for the move (it was replaced since)"});
            break;
        }
        if (moveInto(operation.source, operation.destination, ExistingTarget::Replace))
            log_.line({L"moved ", what});
        else
            log_.line({L"could not move ", what});
        break;
    default:
        log_.line({L"options ", toDecimal(operation.options), L" for ", what, L": neither copied nor moved"});
        break;
    }
    // Source, destination folder and the size of the source (0 once it has moved away).
    progress_.item({operation.source, destinationFolder, static_cast<int>(fileSize(operation.source))});
}

void MoveExecutor::undoOne(const MoveOperation& operation) {
    if (!hasAbsolutePaths(operation)) return;
    const std::wstring& destination = operation.destination;
    switch (operation.options) {
    case kCopyFile: undoCopy(operation); break;
    case kMoveFile: undoMove(operation); break;
    default: break;
    }
    removeEmptyFolders(parentFolder(destination), operation.keptAncestor);
}

void MoveExecutor::undoCopy(const MoveOperation& operation) const {
    const std::wstring& destination = operation.destination;
    // Opened through the door, judged and deleted through the same handle.
    const NamedObject copy = openNamed(destination, DELETE | FILE_READ_ATTRIBUTES);
    if (copy.kind == Named::Missing) {
        log_.line({L"no copy at ", quoted(destination), L" to delete"});
        return;
    }
    if (copy.kind != Named::Object) {
        log_.line({L"left ", quoted(destination), L" in place: ",
                  (copy.kind == Named::Failed ? concat({L"it cannot be opened (error ", toDecimal(copy.error), L")"})
                                              : linkReason(copy))});
        return;
    }
    const auto found = identityOfHandle(copy.handle.get());
    const auto original = fileIdentityOf(operation.source);
    // Same size and last-write time as the source is what a copy keeps; anything else
    // came there by other means (the copy then failed) and is not ours to delete.
    if (copy.isFolder() || !found || !original || found->stamp.size != original->stamp.size ||
        ::CompareFileTime(&found->stamp.lastWrite, &original->stamp.lastWrite) != 0) {
        log_.line({L"left ", quoted(destination), L" in place: it is not the copy of ", quoted(operation.source)});
        return;
    }
    if (deleteOpened(copy.handle.get(), copy.attributes))
        log_.line({L"deleted the copy ", quoted(destination)});
    else
        log_.line({L"could not delete the copy ", quoted(destination), L" (error ", toDecimal(::GetLastError()), L")"});
}

void MoveExecutor::undoMove(const MoveOperation& operation) const {
    const std::wstring& destination = operation.destination;
    const NamedObject moved = openNamed(destination, GENERIC_READ | DELETE);
    if (moved.kind == Named::Missing) {
        log_.line({L"nothing at ", quoted(destination), L" to move back"});
        return;
    }
    if (moved.kind != Named::Object || moved.isFolder()) {
        log_.line({L"left ", quoted(destination), L" in place: ",
                  (moved.kind == Named::Failed ? concat({L"it cannot be opened (error ", toDecimal(moved.error), L")"})
                   : moved.isFolder()         ? std::wstring(L"it is a folder")
                                              : linkReason(moved))});
        return;
    }
    // Whatever stands at the source now (the file itself, when the move never
    // happened) is never replaced by what stands at the destination.
    if (absolutePathExists(operation.source)) {
        log_.line({L"left ", quoted(destination), L" and ", quoted(operation.source),
                  L" as they are: something stands at the source"});
        return;
    }
    // Only the file that was moved goes back, never one put at the destination since:
    // compared through the handle that then moves it. A copy on another volume is known
    // by the identity its record holds; on one volume the planner's identity serves.
    const auto found = identityOfHandle(moved.handle.get());
    const auto made = record_.madeAt(destination);
    const auto planned = parseIdentity(operation.identity);
    const bool ours = found && (made ? isSameObject(*found, *made)
                                     : (operation.identity.empty() || (planned && found->volume == planned->volume &&
                                                                       isSameObject(*found, *planned))));
    if (!ours) {
        log_.line({L"left ", quoted(destination), L" in place: it is not the file moved from ", quoted(operation.source)});
        return;
    }
    const HeldFolder back(parentFolder(operation.source), MissingFolders::Create);
    bool done = false;
    if (back.byHandle() && back.isOpen()) {
        BY_HANDLE_FILE_INFORMATION there{};
        const bool sameVolume = ::GetFileInformationByHandle(back.handle(), &there) && there.dwVolumeSerialNumber == found->volume;
        const std::wstring leaf = leafName(operation.source);
        if (sameVolume) done = back.renameInto(moved.handle.get(), leaf);
        else done = back.copyInto(moved.handle.get(), leaf) && deleteOpened(moved.handle.get(), moved.attributes);
    } else if (back.byHandle()) {
        log_.line({L"could not move ", quoted(destination), L" back: ", quoted(back.stoppedAt()),
                  (back.linkOnTheWay() ? L" is a link" : L" cannot be opened"), L" (error ", toDecimal(back.error()), L")"});
    } else {
        done = moveTree(destination, operation.source, ExistingTarget::Refuse, &log_, nullptr) == MoveResult::Moved;
    }
    if (done)
        log_.line({L"moved ", quoted(destination), L" back to ", quoted(operation.source)});
    else
        log_.line({L"could not move ", quoted(destination), L" back to ", quoted(operation.source)});
}

}  // namespace tidewell
