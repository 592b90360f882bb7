#include "win/folder_tree.h"

#include <windows.h>

#include "common/text.h"
#include "win/named_object.h"
#include "win/paths.h"

namespace tidewell {

namespace {

bool isTopOfWalk(const std::wstring& path) {
    return path.find(L'\\') == std::wstring::npos || isDriveRoot(path);
}

void buildFolder(const std::wstring& path) {
    if (isTopOfWalk(path)) return;
    const std::wstring parent = splitAtLastBackslash(path).parent;
    if (!parent.empty() && !isFolder(parent)) buildFolder(parent);
    createFolder(path);  // an existing folder simply fails to be created again
}

}  // namespace

bool makeFolderTree(const std::wstring& folder) {
    std::wstring path = folder;
    removeTrailingBackslash(path);
    buildFolder(path);
    return true;
}

void removeEmptyFolders(const std::wstring& folder, const std::wstring& stop) {
    std::wstring top = stop;
    removeTrailingBackslash(top);
    if (top.empty()) return;
    // Only folders strictly below the stop are candidates; comparing the text as well as
    // the length keeps a stop spelled with slashes, or on another path, from letting the
    // walk climb past folders that existed before.
    const std::wstring topPrefix = concat({asciiLower(top), L"\\"});
    std::wstring current = folder;
    removeTrailingBackslash(current);
    while (current.size() > top.size() && asciiLower(current).rfind(topPrefix, 0) == 0) {
        const std::wstring parent = splitAtLastBackslash(current).parent;
        if (parent.empty()) return;
        deleteEmptyFolder(current);  // only an empty folder goes, opened through the door
        current = parent;
    }
}

}  // namespace tidewell
