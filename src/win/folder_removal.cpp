#include "win/folder_removal.h"

#include <windows.h>

#include "win/folder_entries.h"
#include "win/named_object.h"
#include "win/paths.h"
#include "win/tree_delete.h"

namespace tidewell {

bool isFolderEmpty(const std::wstring& folder) {
    const DWORD attributes = fileAttributes(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || isLinkAttributes(attributes))
        return false;
    std::vector<FolderEntry> entries;
    return listFolder(folder, entries) && entries.empty();
}

bool removeFolderIfEmpty(const std::wstring& folder, RemovalSink* sink) {
    if (sink == nullptr) return deleteEmptyFolder(folder);
    if (isFolderEmpty(folder)) return sink->take(folder);
    ::SetLastError(ERROR_DIR_NOT_EMPTY);
    return false;
}

bool removeFolderTree(const std::wstring& folder, RemovalSink* sink, const LogSink* log) {
    if (sink != nullptr) return sink->take(folder);
    return deleteTree(folder, log);
}

bool isRootFolder(const std::wstring& path) {
    std::wstring work = path;
    removeTrailingBackslash(work);
    if (work.size() >= 2 && work.size() <= 3 && work[1] == L':') return true;
    if (work.size() > 2 && work[0] == L'\\' && work[1] == L'\\') {
        const size_t server = work.find(L'\\', 2);
        return server == std::wstring::npos || work.find(L'\\', server + 1) == std::wstring::npos;
    }
    return false;
}

}  // namespace tidewell
