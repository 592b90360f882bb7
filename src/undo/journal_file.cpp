#include "undo/journal_file.h"

#include "common/unique_any.h"
#include "win/named_object.h"
#include "win/paths.h"
#include "win/protected_security.h"
#include "win/tree_delete.h"

namespace tidewell {

namespace {
// A journal of this size holds tens of thousands of items; anything larger is not ours.
constexpr LONGLONG kLargestJournal = 64LL * 1024 * 1024;
}  // namespace

bool writeProtectedFile(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    if (!deleteTree(path, nullptr)) return false;
    ProtectedSecurity security;
    if (security.attributes() == nullptr) return false;
    const unique_hfile file(::CreateFileW(extendedPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                          security.attributes(), CREATE_NEW,
                                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

ReadOutcome readProtectedFile(const std::wstring& path, std::vector<unsigned char>& bytes, DWORD& error) {
    error = ERROR_SUCCESS;
    NamedObject opened = openNamed(path, GENERIC_READ);
    if (opened.kind == Named::Missing) return ReadOutcome::Missing;
    if (opened.kind != Named::Object || opened.isFolder()) {
        error = opened.kind == Named::Failed ? opened.error : ERROR_REPARSE_TAG_INVALID;
        return ReadOutcome::Refused;
    }
    if (!hasTrustedOwner(opened.handle.get())) {
        error = ERROR_INVALID_OWNER;
        return ReadOutcome::Refused;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(opened.handle.get(), &size)) {
        error = ::GetLastError();
        return ReadOutcome::Refused;
    }
    if (size.QuadPart > kLargestJournal) return ReadOutcome::Damaged;
    bytes.assign(static_cast<size_t>(size.QuadPart), 0);
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(opened.handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                                       nullptr) ||
                           read != bytes.size())) {
        error = ::GetLastError();
        return ReadOutcome::Refused;
    }
    return ReadOutcome::Read;
}

}  // namespace tidewell
