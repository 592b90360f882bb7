#include "win/held_folder.h"

#include <winternl.h>

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/text.h"
#include "win/fault_seam.h"
#include "win/file_content.h"
#include "win/named_object.h"
#include "win/paths.h"
#include "win/protected_security.h"
#include "win/system_function.h"

namespace tidewell {

namespace {

// The native calls that act relative to a folder handle: CreateFileW cannot, and Wine's
// SetFileInformationByHandle refuses a rename with a root folder (measured: error 87),
// while NtSetInformationFile takes it on Windows and Wine alike.
using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                              PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtSetInformationFileFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
using RtlNtStatusToDosErrorFunction = ULONG(NTAPI*)(NTSTATUS);


constexpr ULONG kFileOpen = 1, kFileCreate = 2;
constexpr ULONG kDirectoryFile = 0x1, kSynchronousIo = 0x20, kNonDirectoryFile = 0x40, kOpenReparsePoint = 0x200000;
constexpr ULONG kFileRenameInformation = 10;

struct RenameInformation {
    BOOLEAN ReplaceIfExists;
    HANDLE RootDirectory;
    ULONG FileNameLength;
    WCHAR FileName[1];
};

DWORD errorOf(NTSTATUS status) {
    const auto convert = systemFunction<RtlNtStatusToDosErrorFunction>(L"ntdll.dll", "RtlNtStatusToDosError");
    return convert ? convert(status) : ERROR_GEN_FAILURE;
}


// A folder's handle as the walk holds it: READ_CONTROL so that a link met below it can be
// judged by who may write the folder.
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;

// Opens or makes the name relative to the folder handle, never through a link.
unique_hfile createRelative(HANDLE parent, const std::wstring& name, ACCESS_MASK access, ULONG share,
                            ULONG disposition, ULONG options, DWORD& error) {
    const auto create = systemFunction<NtCreateFileFunction>(L"ntdll.dll", "NtCreateFile");
    if (!create) {
        error = ERROR_PROC_NOT_FOUND;
        return {};
    }
    std::wstring text = name;
    UNICODE_STRING unicode{static_cast<USHORT>(text.size() * sizeof(wchar_t)),
                           static_cast<USHORT>(text.size() * sizeof(wchar_t)), text.data()};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE opened = nullptr;
    const NTSTATUS status = create(&opened, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                                   options | kSynchronousIo | kOpenReparsePoint, nullptr, 0);
    if (status < 0) {
        error = errorOf(status);
        return {};
    }
    return unique_hfile(opened);
}

// Opens (or makes) one component below the folder handle, as a folder.
unique_hfile openComponent(HANDLE parent, const std::wstring& name, ULONG disposition, DWORD& error) {
    if (seamFails(disposition == kFileCreate ? SeamCall::Create : SeamCall::Open)) {
        error = seamError();
        return {};
    }
    // No delete sharing: while it is held, the folder cannot be renamed or removed.
    return createRelative(parent, name, kFolderAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition, kDirectoryFile,
                          error);
}

// Links followed in one walk at most: a circle of trusted links ends there.
constexpr int kMostLinks = 16;

constexpr DWORD kMountPointTag = 0xA0000003, kSymbolicLinkTag = 0xA000000C;
constexpr ULONG kRelativeSymbolicLink = 1;

// The "\\?\X:\..." form of a link's target as its reparse data names it, resolved against
// the folder it stands in for a relative symbolic link; empty for any other kind (a
// volume mount point without a drive letter, a tag that names no path).
std::wstring reparseTarget(HANDLE link, const std::wstring& standsIn) {
    std::vector<unsigned char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    if (!::DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(), static_cast<DWORD>(buffer.size()),
                           &got, nullptr) ||
        got < 8)
        return {};
    DWORD tag = 0;
    std::memcpy(&tag, buffer.data(), sizeof tag);
    // ReparseTag, ReparseDataLength, Reserved; then the names' offsets and lengths.
    size_t names = 8;
    if (tag != kMountPointTag && tag != kSymbolicLinkTag) return {};
    USHORT offset = 0, length = 0;
    std::memcpy(&offset, buffer.data() + names, sizeof offset);
    std::memcpy(&length, buffer.data() + names + 2, sizeof length);
    ULONG flags = 0;
    size_t pathBuffer = names + 8;
    if (tag == kSymbolicLinkTag) {
        std::memcpy(&flags, buffer.data() + names + 8, sizeof flags);
        pathBuffer += 4;
    }
    if (pathBuffer + offset + length > got) return {};
    std::wstring target(length / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), buffer.data() + pathBuffer + offset, length);
    if (tag == kSymbolicLinkTag && (flags & kRelativeSymbolicLink)) return prefixedPath(concat({standsIn, L"\\", target}));
    // "\??\C:\target"; "\??\Volume{...}" has no drive to walk from.
    if (target.rfind(L"\\??\\", 0) != 0 || target.size() < 6 || target[5] != L':') return {};
    target[1] = L'\\';
    return prefixedPath(target.substr(4));
}

}  // namespace

HeldFolder::HeldFolder(const std::wstring& folder, MissingFolders missing) {
    std::wstring path = extendedPath(folder);  // "\\?\C:\a\b", System32 mapped as WOW64 maps it
    removeTrailingBackslash(path);
    if (path.size() < 6 || path.compare(0, 4, L"\\\\?\\") != 0 || path[5] != L':') return;
    byHandle_ = true;
    for (int links = 0; walk(path, missing) == Walk::Again; ++links) {
        if (links == kMostLinks) {
            folder_.reset();
            error_ = ERROR_CANT_RESOLVE_FILENAME;
            linkOnTheWay_ = true;
            return;
        }
    }
}

HeldFolder::Walk HeldFolder::walk(std::wstring& path, MissingFolders missing) {
    folder_.reset(::CreateFileW(concat({path.substr(0, 6), L"\\"}).c_str(), kFolderAccess,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder_) {
        error_ = ::GetLastError();
        stoppedAt_ = path.substr(4, 2);
        return Walk::Done;
    }
    std::wstring expected;  // the path on the volume so far: "\a\b"
    std::wstring walked = path.substr(4, 2);
    const std::wstring rest = path.size() > 7 ? path.substr(7) : std::wstring();
    for (size_t at = 0; at < rest.size();) {
        const size_t end = std::min(rest.find(L'\\', at), rest.size());
        const std::wstring name = rest.substr(at, end - at);
        at = end + 1;
        if (name.empty()) continue;
        const std::wstring parentWalked = walked;
        walked += concat({L"\\", name});
        expected += concat({L"\\", name});
        DWORD error = ERROR_SUCCESS;
        unique_hfile next = openComponent(folder_.get(), name, kFileOpen, error);
        if (!next && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) &&
            missing == MissingFolders::Create) {
            next = openComponent(folder_.get(), name, kFileCreate, error);
            // Made by someone else in between: open what stands there, checked as any other.
            if (!next && error == ERROR_ALREADY_EXISTS) next = openComponent(folder_.get(), name, kFileOpen, error);
        }
        if (!next) {
            folder_.reset();
            error_ = error;
            stoppedAt_ = walked;
            return Walk::Done;
        }
        // A link opened as itself shows as one; a link the system followed anyway (Wine's
        // Unix links) shows by where the folder really is.
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!::GetFileInformationByHandleEx(next.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
            folder_.reset();
            error_ = ::GetLastError();
            stoppedAt_ = walked;
            return Walk::Done;
        }
        const bool reparse = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const std::wstring actual = reparse ? std::wstring() : finalPath(next.get());
        if (reparse || !sameName(actual, expected)) {
            // Only trusted accounts could have made a link in a folder that only they can write.
            std::wstring target;
            if (onlyTrustedCanWrite(folder_.get()))
                target = reparse ? reparseTarget(next.get(), parentWalked)
                                 : (actual.empty() ? std::wstring() : concat({L"\\\\?\\", path.substr(4, 2), actual}));
            folder_.reset();
            stoppedAt_ = walked;
            if (target.empty()) {
                error_ = ERROR_CANT_RESOLVE_FILENAME;
                linkOnTheWay_ = true;
                return Walk::Done;
            }
            // On from the link's target, walked from its own volume's root the same way.
            path = at < rest.size() ? concat({target, L"\\", rest.substr(at)}) : target;
            removeTrailingBackslash(path);
            return Walk::Again;
        }
        folder_ = std::move(next);
    }
    stoppedAt_.clear();
    return Walk::Done;
}

unique_hfile HeldFolder::openEntry(const std::wstring& leaf, DWORD access) const {
    if (!folder_) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return {};
    }
    if (seamFails(SeamCall::Open)) return {};
    DWORD error = ERROR_SUCCESS;
    unique_hfile entry = createRelative(folder_.get(), leaf, access | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileOpen, 0, error);
    if (!entry) ::SetLastError(error);
    return entry;
}

bool HeldFolder::renameInto(HANDLE item, const std::wstring& leaf) const {
    const auto setInformation = systemFunction<NtSetInformationFileFunction>(L"ntdll.dll", "NtSetInformationFile");
    if (!folder_ || !setInformation) {
        ::SetLastError(folder_ ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
        return false;
    }
    if (seamFails(SeamCall::Rename)) return false;
    std::vector<unsigned char> buffer(sizeof(RenameInformation) + (leaf.size() + 1) * sizeof(wchar_t));
    auto* rename = reinterpret_cast<RenameInformation*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = folder_.get();
    rename->FileNameLength = static_cast<ULONG>(leaf.size() * sizeof(wchar_t));
    leaf.copy(rename->FileName, leaf.size());
    rename->FileName[leaf.size()] = L'\0';
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        setInformation(item, &io, rename, static_cast<ULONG>(buffer.size()), kFileRenameInformation);
    if (status >= 0) return true;
    ::SetLastError(errorOf(status));
    return false;
}

bool HeldFolder::copyInto(HANDLE source, const std::wstring& leaf) const {
    FILE_BASIC_INFO basic{};
    if (!folder_) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (seamFails(SeamCall::Copy) || !::GetFileInformationByHandleEx(source, FileBasicInfo, &basic, sizeof(basic)))
        return false;
    if (seamFails(SeamCall::Create)) return false;
    DWORD error = ERROR_SUCCESS;
    const unique_hfile copy = createRelative(folder_.get(), leaf, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES | DELETE | SYNCHRONIZE,
                                             0, kFileCreate, kNonDirectoryFile, error);
    if (!copy) {
        ::SetLastError(error);
        return false;
    }
    bool whole = copyContent(source, copy.get());
    // The times and attributes last: the writes above would change them.
    basic.ChangeTime.QuadPart = 0;
    whole = whole && ::SetFileInformationByHandle(copy.get(), FileBasicInfo, &basic, sizeof(basic));
    if (whole) return true;
    const DWORD failure = ::GetLastError();
    FILE_DISPOSITION_INFO remove{TRUE};
    ::SetFileInformationByHandle(copy.get(), FileDispositionInfo, &remove, sizeof(remove));
    ::SetLastError(failure != ERROR_SUCCESS ? failure : ERROR_WRITE_FAULT);
    return false;
}

}  // namespace tidewell
