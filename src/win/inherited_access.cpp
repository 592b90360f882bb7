#include "win/inherited_access.h"

#include <windows.h>
#include <aclapi.h>

#include "common/text.h"
#include "win/fault_seam.h"
#include "win/folder_entries.h"
#include "win/named_object.h"
#include "win/paths.h"

namespace tidewell {

namespace {

// Each entry is opened as itself (the top through the door, the ones below checked to sit
// in their folder), and its access is set through that handle: a link swapped in by path
// never takes the change elsewhere.
bool inheritEntry(const std::wstring& path, const std::wstring& parentFinal, int depth) {
    if (depth > kDeepestFolder) return false;
    const NamedObject opened = openNamed(path, WRITE_DAC | READ_CONTROL, parentFinal);
    // Links inside the tree are left as they are; nothing is set through them.
    if (opened.kind == Named::Link) return true;
    if (opened.kind != Named::Object) return false;
    // An empty, unprotected access list: only what the parent hands down applies.
    ACL empty{};
    if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return false;
    bool all = !seamFails(SeamCall::Attributes) &&
               ::SetSecurityInfo(opened.handle.get(), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                 &empty, nullptr) == ERROR_SUCCESS;
    if (!opened.isFolder()) return all;
    const std::wstring self = finalPath(opened.handle.get());
    std::vector<FolderEntry> entries;
    if (self.empty() || !listFolder(path, entries)) return false;
    for (const auto& entry : entries) all = inheritEntry(concat({path, L"\\", entry.name}), self, depth + 1) && all;
    return all;
}

}  // namespace

bool inheritAccessFromParent(const std::wstring& path) { return inheritEntry(path, {}, 0); }

}  // namespace tidewell
