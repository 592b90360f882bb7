#include "win/tree_size.h"

#include <windows.h>

#include "common/text.h"
#include "win/folder_entries.h"
#include "win/paths.h"

namespace tidewell {

namespace {

// No deeper than the walkers go (kDeepestFolder): a copy refuses a deeper tree anyway,
// and each level is a frame on the action's stack.
void addFolder(const std::wstring& folder, TreeSize& size, int depth) {
    if (depth > kDeepestFolder) {
        size.complete = false;
        return;
    }
    std::vector<FolderEntry> entries;
    if (!listFolder(folder, entries)) size.complete = false;
    for (const auto& entry : entries) {
        if (isLinkAttributes(entry.attributes)) continue;
        if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) addFolder(concat({folder, L"\\", entry.name}), size, depth + 1);
        else size.bytes += entry.size;
    }
}

}  // namespace

TreeSize treeSize(const std::wstring& path) {
    TreeSize size;
    std::wstring work = path;
    removeTrailingBackslash(work);
    WIN32_FIND_DATAW data;
    if (!findFirst(work, data)) return size;
    if (isLinkAttributes(data.dwFileAttributes)) return size;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) addFolder(work, size, 0);
    else size.bytes = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return size;
}

bool freeBytesAt(const std::wstring& path, unsigned long long& free) {
    std::wstring folder = path;
    ensureTrailingBackslash(folder);
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(extendedPath(folder).c_str(), &available, nullptr, nullptr)) return false;
    free = available.QuadPart;
    return true;
}

}  // namespace tidewell
