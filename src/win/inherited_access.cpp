#include "win/inherited_access.h"

#include <windows.h>
#include <aclapi.h>

#include "common/text.h"
#include "win/folder_entries.h"
#include "win/paths.h"

namespace tidewell {

namespace {

bool inheritEntry(const std::wstring& path, int depth) {
    if (depth > kDeepestFolder) return false;
    // An empty, unprotected access list: only what the parent hands down applies.
    ACL empty{};
    if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return false;
    std::wstring native = extendedPath(path);
    bool all = ::SetNamedSecurityInfoW(native.data(), SE_FILE_OBJECT,
                                       DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, &empty, nullptr) == ERROR_SUCCESS;
    const DWORD attributes = fileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || isLinkAttributes(attributes))
        return all;
    std::vector<FolderEntry> entries;
    if (!listFolder(path, entries)) return false;
    for (const auto& entry : entries) {
        if (isLinkAttributes(entry.attributes)) continue;
        all = inheritEntry(concat({path, L"\\", entry.name}), depth + 1) && all;
    }
    return all;
}

}  // namespace

bool inheritAccessFromParent(const std::wstring& path) { return inheritEntry(path, 0); }

}  // namespace tidewell
