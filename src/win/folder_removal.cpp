#include "win/folder_removal.h"

#include <windows.h>
#include <shellapi.h>

#include "win/paths.h"

namespace tidewell {

bool isFolderEmpty(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    const unique_hfind search = findFirst(folder + L"\\*", data);
    if (!search) return false;
    int entries = 1;
    while (entries < 3 && ::FindNextFileW(search.get(), &data)) ++entries;
    return entries == 2;
}

bool removeFolderIfEmpty(const std::wstring& folder, RemovalSink* sink) {
    if (sink == nullptr) return ::RemoveDirectoryW(folder.c_str()) != FALSE;
    if (isFolderEmpty(folder)) return sink->take(folder);
    ::SetLastError(ERROR_DIR_NOT_EMPTY);
    return false;
}

bool removeFolderTree(const std::wstring& folder, RemovalSink* sink) {
    if (sink != nullptr) return sink->take(folder);
    constexpr FILEOP_FLAGS flags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return shellFileOperation(FO_DELETE, folder, L"", flags) == 0;
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
