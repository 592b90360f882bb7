#include "win/folder_entries.h"

#include "common/text.h"
#include "win/fault_seam.h"
#include "win/paths.h"

namespace tidewell {

bool listFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    std::wstring pattern = folder;
    ensureTrailingBackslash(pattern);
    WIN32_FIND_DATAW data;
    const unique_hfind search = findFirst(concat({pattern, L"*"}), data);
    if (!search) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            entries.push_back({name, data.dwFileAttributes,
                               (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                               (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                   data.ftLastWriteTime.dwLowDateTime});
    } while (!seamFails(SeamCall::List) && ::FindNextFileW(search.get(), &data));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace tidewell
