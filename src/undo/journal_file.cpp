#include "undo/journal_file.h"

#include "common/unique_any.h"
#include "win/fault_seam.h"
#include "win/named_object.h"
#include "win/paths.h"
#include "win/protected_security.h"
#include "win/tree_delete.h"

namespace tidewell {

namespace {
// A journal of this size holds tens of thousands of items; anything larger is not ours.
constexpr LONGLONG kLargestJournal = 64LL * 1024 * 1024;
}  // namespace

std::wstring pendingFile(const std::wstring& path) { return path + L".new"; }

bool writeProtectedFile(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    // Written whole under a name of its own first: a run that ends in the middle, or a
    // disk that fills up, leaves the file that stood there as it was.
    const std::wstring pending = pendingFile(path);
    if (!deleteTree(pending, nullptr)) return false;
    ProtectedSecurity security;
    if (security.attributes() == nullptr) return false;
    {
        const unique_hfile file(seamFails(SeamCall::Create)
                                    ? INVALID_HANDLE_VALUE
                                    : ::CreateFileW(extendedPath(pending).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                    security.attributes(), CREATE_NEW,
                                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file) return false;
        DWORD written = 0;
        const bool whole = seamWriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written) &&
                           written == bytes.size() && ::FlushFileBuffers(file.get());
        if (!whole) {
            const DWORD error = written == bytes.size() ? ::GetLastError() : ERROR_DISK_FULL;
            deleteTree(pending, nullptr);
            ::SetLastError(error);
            return false;
        }
    }
    // The rename replaces the entry at the path, a link there included, never its target.
    if (replaceFile(pending, path)) return true;
    const DWORD error = ::GetLastError();
    deleteTree(pending, nullptr);
    ::SetLastError(error);
    return false;
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
    if (!onlyTrustedCanWrite(opened.handle.get())) {
        error = ERROR_INVALID_ACL;
        return ReadOutcome::Refused;
    }
    // A second name of the file is a way for someone else to change it.
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(opened.handle.get(), &information) || information.nNumberOfLinks != 1) {
        error = ERROR_TOO_MANY_LINKS;
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
    if (!bytes.empty() && (seamFails(SeamCall::Read) || !::ReadFile(opened.handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                                       nullptr) ||
                           read != bytes.size())) {
        error = ::GetLastError();
        return ReadOutcome::Refused;
    }
    return ReadOutcome::Read;
}

}  // namespace tidewell
