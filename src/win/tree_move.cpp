#include "win/tree_move.h"

#include <memory>

#include "common/text.h"
#include "win/held_folder.h"
#include "win/folder_entries.h"
#include "win/named_object.h"
#include "win/paths.h"
#include "win/tree_copy.h"
#include "win/tree_delete.h"

namespace tidewell {

namespace {

void logLine(const LogSink* log, std::initializer_list<std::wstring_view> pieces) {
    if (log) log->line(pieces);
}

MoveResult acrossVolumes(const std::wstring& source, const std::wstring& destination, const LogSink* log) {
    const CopyOutcome copy = copyTree(source, destination, log);
    if (!copy.complete || copy.linksSkipped > 0 || !sameTree(source, destination)) {
        // A link cannot be made again on the other volume: the source stays whole instead.
        logLine(log, {L"could not move ", source, L" to another volume",
                         (copy.linksSkipped > 0 ? L": it holds links" : L": the copy is not complete")});
        deleteTree(destination, log);
        return MoveResult::Failed;
    }
    if (!deleteTree(source, log)) logLine(log, {L"moved ", source, L", but parts of it could not be deleted there"});
    return MoveResult::Moved;
}

MoveResult moveEntry(const std::wstring& source, const std::wstring& destination, ExistingTarget existing,
                     const LogSink* log, const HeldFolder* into, int depth) {
    if (depth > kDeepestFolder) {
        logLine(log, {L"could not move ", source, L": the tree is deeper than ", toDecimal(kDeepestFolder), L" folders"});
        return MoveResult::Failed;
    }
    NamedObject opened = openNamed(source, DELETE);
    if (opened.kind == Named::FollowedLink && !opened.linkOnTheWay.empty()) {
        logLine(log, {L"could not move ", source, L": ", linkReason(opened)});
        return MoveResult::Failed;
    }
    if (opened.kind == Named::FollowedLink) {
        logLine(log, {L"link ", source, L" not moved: it cannot be moved here without moving what it points to"});
        return MoveResult::Failed;
    }
    if (opened.kind != Named::Object && opened.kind != Named::Link) {
        logLine(log, {L"could not move ", source, L" (error ", toDecimal(opened.error), L")"});
        return MoveResult::Failed;
    }
    const DWORD target = fileAttributes(destination);
    if (target != INVALID_FILE_ATTRIBUTES || isLink(destination)) {
        if (existing == ExistingTarget::Refuse) return MoveResult::TargetExists;
        const bool intoFolder = opened.kind == Named::Object && opened.isFolder() &&
                                (target & FILE_ATTRIBUTE_DIRECTORY) && !isLinkAttributes(target);
        if (intoFolder) {
            opened.handle.reset();  // listing needs the folder not held open for deletion
            // The folder that receives the content is opened as its parent was.
            std::unique_ptr<HeldFolder> receiving;
            if (into != nullptr && into->byHandle()) {
                receiving = std::make_unique<HeldFolder>(destination, MissingFolders::Refuse);
                if (!receiving->isOpen()) {
                    logLine(log, {L"could not move ", source, L" into ", destination, L": it is a link or cannot be opened (error ",
                                  toDecimal(receiving->error()), L")"});
                    return MoveResult::Failed;
                }
            }
            std::vector<FolderEntry> entries;
            bool all = listFolder(source, entries);
            for (const auto& entry : entries)
                all = moveEntry(concat({source, L"\\", entry.name}), concat({destination, L"\\", entry.name}), existing, log,
                                receiving.get(), depth + 1) == MoveResult::Moved &&
                      all;
            if (all) deleteEmptyFolder(source);
            return all ? MoveResult::Moved : MoveResult::Failed;
        }
        if (!deleteTree(destination, log)) return MoveResult::Failed;
    }
    const bool renamed = into != nullptr && into->byHandle() ? into->renameInto(opened.handle.get(), leafName(destination))
                                                             : renameOpened(opened.handle.get(), destination);
    if (renamed) return MoveResult::Moved;
    const DWORD error = ::GetLastError();
    if (error == ERROR_NOT_SAME_DEVICE && opened.kind == Named::Object && !opened.isFolder() && into != nullptr &&
        into->byHandle()) {
        // A file goes across volumes through handles: read from the one that was checked,
        // written new into the held folder (never over what stands there), then deleted.
        const NamedObject readable = openNamed(source, GENERIC_READ | DELETE);
        if (readable.kind == Named::Object && into->copyInto(readable.handle.get(), leafName(destination))) {
            if (!deleteOpened(readable.handle.get(), readable.attributes))
                logLine(log, {L"moved ", source, L", but parts of it could not be deleted there"});
            return MoveResult::Moved;
        }
        logLine(log, {L"could not move ", source, L" to ", destination, L" (error ", toDecimal(::GetLastError()), L")"});
        return MoveResult::Failed;
    }
    if (error == ERROR_NOT_SAME_DEVICE && opened.kind == Named::Object) {
        opened.handle.reset();
        return acrossVolumes(source, destination, log);
    }
    logLine(log, {L"could not move ", source, L" to ", destination, L" (error ", toDecimal(error), L")"});
    return MoveResult::Failed;
}

}  // namespace

MoveResult moveTree(const std::wstring& source, const std::wstring& destination, ExistingTarget existing,
                    const LogSink* log, const HeldFolder* into) {
    return moveEntry(source, destination, existing, log, into, 0);
}

}  // namespace tidewell
