#include "win/held_folder.h"

#include <winternl.h>

#include <algorithm>
#include <vector>

#include "common/text.h"
#include "win/fault_seam.h"
#include "win/named_object.h"
#include "win/paths.h"
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
    return createRelative(parent, name, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, disposition, kDirectoryFile, error);
}

}  // namespace

HeldFolder::HeldFolder(const std::wstring& folder, MissingFolders missing) {
    std::wstring path = extendedPath(folder);  // "\\?\C:\a\b", System32 mapped as WOW64 maps it
    removeTrailingBackslash(path);
    if (path.size() < 6 || path.compare(0, 4, L"\\\\?\\") != 0 || path[5] != L':') return;
    byHandle_ = true;
    folder_.reset(::CreateFileW(concat({path.substr(0, 6), L"\\"}).c_str(),
                                FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder_) {
        error_ = ::GetLastError();
        stoppedAt_ = path.substr(4, 2);
        return;
    }
    std::wstring expected;  // the path on the volume so far: "\a\b"
    std::wstring walked = path.substr(4, 2);
    const std::wstring rest = path.size() > 7 ? path.substr(7) : std::wstring();
    for (size_t at = 0; at < rest.size();) {
        const size_t end = std::min(rest.find(L'\\', at), rest.size());
        const std::wstring name = rest.substr(at, end - at);
        at = end + 1;
        if (name.empty()) continue;
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
            return;
        }
        // A link opened as itself shows as one; a link the system followed anyway (Wine's
        // Unix links) shows by where the folder really is.
        FILE_ATTRIBUTE_TAG_INFO tag{};
        const bool link = !::GetFileInformationByHandleEx(next.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
                          (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !sameName(finalPath(next.get()), expected);
        if (link) {
            folder_.reset();
            error_ = ERROR_CANT_RESOLVE_FILENAME;
            linkOnTheWay_ = true;
            stoppedAt_ = walked;
            return;
        }
        folder_ = std::move(next);
    }
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
    LARGE_INTEGER start{};
    bool whole = ::SetFilePointerEx(source, start, nullptr, FILE_BEGIN) != FALSE;
    std::vector<unsigned char> buffer(1 << 16);
    while (whole) {
        DWORD read = 0, written = 0;
        if (seamFails(SeamCall::Read) || !::ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            whole = false;
            break;
        }
        if (read == 0) break;
        if (!seamWriteFile(copy.get(), buffer.data(), read, &written) || written != read) {
            if (written != read && ::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_DISK_FULL);
            whole = false;
        }
    }
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
