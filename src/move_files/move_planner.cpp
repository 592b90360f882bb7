#include "move_files/move_planner.h"

#include "move_files/file_stamp.h"

#include "common/text.h"
#include "win/item_identity.h"
#include "win/paths.h"
#include "move_files/path_checks.h"

namespace tidewell {

namespace {

// The source file, what is done to it and where it goes. The destination does not exist
// yet: its folder tells two spellings of it apart.
ItemIdentity operationIdentity(const std::wstring& source, int options, const std::wstring& destination) {
    const ItemIdentity done = withPart(fileSystemIdentity(source), toDecimal(options));
    return withPart(withPart(done, fileSystemIdentity(parentFolder(destination)).text), leafName(destination));
}

}  // namespace

std::wstring MovePlanner::writeWorkList() {
    operations_.clear();
    plannedRows_ = {};
    for (const auto& entry : entries_) expandEntry(entry);
    return writeMoveWorkList(operations_);
}

void MovePlanner::expandEntry(const MoveRow& entry) {
    std::wstring folder = entry.sourceFolder;
    std::wstring pattern = entry.sourceName;
    // Without a name the source folder's last component is the pattern in its parent.
    if (pattern.empty()) {
        const PathParts parts = splitAtLastBackslash(entry.sourceFolder);
        folder = parts.parent;
        pattern = parts.leaf;
    }

    const std::wstring row = concat({L"row ", entry.key, L": "});
    if (!isAbsolutePath(folder)) {
        log_.line({row, L"skipped: source folder '", folder, L"' is not an absolute path"});
        return;
    }
    std::vector<std::wstring> matches;
    if (!findMatchingFiles(folder, pattern, matches)) {
        log_.line({row, L"no file matches '", pattern, L"' in '", folder, L"'"});
        return;
    }
    const bool rename = !entry.destName.empty() && matches.size() == 1;
    for (const auto& match : matches) {
        // Folder property values end with a backslash: nothing goes between.
        const std::wstring destination = entry.destFolder + (rename ? entry.destName : leafName(match));
        if (!isAbsolutePath(destination)) {
            // An unset folder property leaves a bare name, which would land in whatever
            // folder the installer happens to run in.
            log_.line({row, L"skipped '", match, L"': destination '", destination, L"' is not an absolute path"});
            continue;
        }
        if (equalPaths(match, destination, LetterCase::Ignored)) {
            log_.line({row, L"skipped '", match, L"': it is its own destination"});
            continue;
        }
        if (absolutePathExists(destination)) {
            log_.line({row, L"skipped '", match, L"': destination '", destination, L"' already exists"});
            continue;
        }
        const ItemIdentity planned = operationIdentity(match, entry.options, destination);
        if (const auto first = plannedRows_.earlierRow(planned, entry.key)) {
            log_.line({row, match, L" is row ", *first, L"'s item too: it is ",
                       (entry.options == kMoveFile ? L"moved" : L"copied"), L" once"});
            continue;
        }
        MoveOperation operation{match, destination, entry.options, nearestExistingAncestor(destination), {}};
        // The rollback puts back only this very file, never another one put in its place.
        if (entry.options == kMoveFile)
            if (const auto identity = fileIdentityOf(match)) operation.identity = identityText(*identity);
        const std::wstring what = entry.options == kCopyFile   ? std::wstring(L"copy")
                                  : entry.options == kMoveFile ? std::wstring(L"move")
                                                               : concat({L"options ", toDecimal(entry.options), L" (neither copy nor move)"});
        log_.line({row, L"planned ", what, L": '", match, L"' to '", destination, L"'"});
        operations_.push_back(std::move(operation));
    }
}

}  // namespace tidewell
