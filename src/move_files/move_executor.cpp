#include "move_files/move_executor.h"

#include "common/text.h"
#include "win/paths.h"
#include "move_files/file_stamp.h"
#include "win/folder_tree.h"
#include "win/held_folder.h"
#include "win/named_object.h"
#include "win/tree_move.h"
#include "move_files/path_checks.h"

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
    for (const auto& operation : operations_) runOne(operation);
}

void MoveExecutor::undo() {
    for (const auto& operation : operations_) undoOne(operation);
}

bool MoveExecutor::moveInto(const std::wstring& from, const std::wstring& to, ExistingTarget existing) const {
    // A folder standing at the destination receives the file, as the shell's move did.
    if (existing == ExistingTarget::Replace && isFolder(to) && !isLink(to)) return moveFileOrFolder(from, to);
    // The destination's folder is opened from the drive's root, never through a link.
    const HeldFolder folder(parentFolder(to), MissingFolders::Create);
    if (folder.byHandle() && !folder.isOpen()) {
        log_.line({L"not moved to ", quoted(to), L": ", quoted(folder.stoppedAt()),
                  (folder.linkOnTheWay() ? L" is a link" : L" cannot be opened"), L" (error ",
                  toDecimal(folder.error()), L")"});
        return false;
    }
    if (!folder.byHandle()) makeFolderTree(parentFolder(to));
    std::wstring source = from;
    trueName(source);
    return moveTree(source, to, existing, &log_, &folder) == MoveResult::Moved;
}

bool MoveExecutor::copyInto(const std::wstring& from, const std::wstring& to, const std::wstring& what) const {
    // A copy by name reads through a link: whatever it points to would land at the
    // destination, readable there by whoever planted the link. The file that was checked
    // is the one that is read.
    const NamedObject source = openNamed(from, GENERIC_READ);
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
    case kCopyFile:
        if (!absolutePathExists(destination)) {
            log_.line({L"no copy at ", quoted(destination), L" to delete"});
        } else if (!sameStamp(destination, operation.source)) {
            // Same size and last-write time as the source is what a copy keeps; anything
            // else came there by other means (the copy then failed) and is not ours to delete.
            log_.line({L"left ", quoted(destination), L" in place: it is not the copy of ", quoted(operation.source)});
        } else if (deleteFile(destination)) {
            log_.line({L"deleted the copy ", quoted(destination)});
        } else {
            log_.line({L"could not delete the copy ", quoted(destination), L" (error ",
                      toDecimal(::GetLastError()), L")"});
        }
        break;
    case kMoveFile:
        if (!absolutePathExists(destination)) {
            log_.line({L"nothing at ", quoted(destination), L" to move back"});
            break;
        }
        // Whatever stands at the source now (the file itself, when the move never
        // happened) is never replaced by what stands at the destination.
        if (absolutePathExists(operation.source)) {
            log_.line({L"left ", quoted(destination), L" and ", quoted(operation.source),
                      L" as they are: something stands at the source"});
            break;
        }
        // Only the file that was moved goes back, never one put at the destination since.
        if (!isPlannedFile(destination, operation)) {
            log_.line({L"left ", quoted(destination), L" in place: it is not the file moved from ", quoted(operation.source)});
            break;
        }
        if (moveInto(destination, operation.source, ExistingTarget::Refuse))
            log_.line({L"moved ", quoted(destination), L" back to ", quoted(operation.source)});
        else
            log_.line({L"could not move ", quoted(destination), L" back to ", quoted(operation.source)});
        break;
    default:
        break;
    }
    removeEmptyFolders(parentFolder(destination), operation.keptAncestor);
}

}  // namespace tidewell
