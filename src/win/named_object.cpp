#include "win/named_object.h"

#include <vector>

#include "common/text.h"
#include "win/fault_seam.h"
#include "win/held_folder.h"
#include "win/paths.h"

namespace tidewell {

namespace {

unique_hfile openRaw(const std::wstring& path, DWORD access) {
    if (seamFails(SeamCall::Open)) return unique_hfile();
    return unique_hfile(::CreateFileW(extendedPath(path).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace

bool sameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                          static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring finalPath(HANDLE handle) {
    // The name on its volume, from the open object itself. GetFinalPathNameByHandleW would
    // add the volume, but Wine fails it for paths of MAX_PATH and more. Walkers ask this
    // for every item: a name that fits MAX_PATH is read on the stack, a longer one again
    // with room for the longest.
    struct ShortName {
        FILE_NAME_INFO info;
        wchar_t rest[MAX_PATH];
    } small;
    if (::GetFileInformationByHandleEx(handle, FileNameInfo, &small, sizeof small))
        return std::wstring(small.info.FileName, small.info.FileNameLength / sizeof(wchar_t));
    if (::GetLastError() != ERROR_MORE_DATA) return {};
    std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    if (!::GetFileInformationByHandleEx(handle, FileNameInfo, buffer.data(), static_cast<DWORD>(buffer.size())))
        return {};
    const auto* name = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    return std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
}

std::wstring finalFolderPath(const std::wstring& folder) {
    const unique_hfile handle = openRaw(folder, FILE_READ_ATTRIBUTES);
    return handle ? finalPath(handle.get()) : std::wstring();
}

std::wstring linkReason(const NamedObject& opened) {
    if (opened.linkOnTheWay.empty()) return L"it is a link";
    return concat({opened.linkOnTheWay, L" on its way is a link (error ", toDecimal(ERROR_CANT_RESOLVE_FILENAME), L")"});
}

namespace {

bool notFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Missing only when a second look finds nothing either: an open that failed this way for
// a path that is there (a folder on the way swapped, a call that failed) must not let a
// caller give the item up as gone.
bool missingOnSecondLook(DWORD error, const std::wstring& path) {
    return notFound(error) && fileAttributes(path) == INVALID_FILE_ATTRIBUTES;
}

// "\a\b" -> "\a"; "\a" -> "" (a volume-relative path, as finalPath gives it).
std::wstring parentFolderOf(const std::wstring& final) {
    const size_t last = final.rfind(L'\\');
    return last == std::wstring::npos ? std::wstring() : final.substr(0, last);
}

// The item relative to its folder, opened through the door.
NamedObject openThroughDoor(const std::wstring& path, DWORD access, HeldFolder& folder) {
    NamedObject opened;
    if (!folder.isOpen()) {
        opened.error = folder.error();
        if (folder.linkOnTheWay()) {
            opened.kind = Named::FollowedLink;
            opened.linkOnTheWay = folder.stoppedAt();
        } else {
            opened.kind = missingOnSecondLook(opened.error, path) ? Named::Missing : Named::Failed;
        }
        return opened;
    }
    std::wstring leaf = path;
    removeTrailingBackslash(leaf);
    leaf = leafName(leaf);
    opened.handle = folder.openEntry(leaf, access | FILE_READ_ATTRIBUTES);
    if (!opened.handle) {
        opened.error = ::GetLastError();
        opened.kind = missingOnSecondLook(opened.error, path) ? Named::Missing : Named::Failed;
        return opened;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(opened.handle.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        opened.error = ::GetLastError();
        opened.handle.reset();
        return opened;
    }
    opened.attributes = tag.FileAttributes;
    opened.kind = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Named::Link : Named::Object;
    if (opened.kind == Named::Object) {
        // A link the system followed anyway (Wine's Unix links) ends elsewhere than in
        // the folder; a leaf given as its short name ends at its long name.
        std::wstring parent = finalPath(folder.handle());
        while (!parent.empty() && parent.back() == L'\\') parent.pop_back();
        const std::wstring actual = finalPath(opened.handle.get());
        const bool here = !actual.empty() && sameName(parentFolderOf(actual), parent) &&
                          (sameName(actual, concat({parent, L"\\", leaf})) || leaf.find(L'~') != std::wstring::npos);
        if (!here) {
            opened.kind = Named::FollowedLink;
            opened.handle.reset();
            return opened;
        }
    }
    opened.parent = folder.release();
    return opened;
}

}  // namespace

NamedObject openNamed(const std::wstring& path, DWORD access, const std::wstring& parentFinal) {
    if (parentFinal.empty() && !isDriveRoot(path)) {
        std::wstring folder = path;
        removeTrailingBackslash(folder);
        HeldFolder held(parentFolder(folder), MissingFolders::Refuse);
        if (held.byHandle()) return openThroughDoor(folder, access, held);
    }
    NamedObject opened;
    opened.handle = openRaw(path, access | FILE_READ_ATTRIBUTES);
    if (!opened.handle) {
        opened.error = ::GetLastError();
        // Missing only when a second look finds nothing either: an open that failed this
        // way for a path that is there (a folder on the way swapped, a call that failed)
        // must not let a caller give the item up as gone.
        const bool notFound = opened.error == ERROR_FILE_NOT_FOUND || opened.error == ERROR_PATH_NOT_FOUND;
        opened.kind = notFound && fileAttributes(path) == INVALID_FILE_ATTRIBUTES ? Named::Missing : Named::Failed;
        return opened;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(opened.handle.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        opened.error = ::GetLastError();
        opened.handle.reset();
        return opened;
    }
    opened.attributes = tag.FileAttributes;
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        opened.kind = Named::Link;
        return opened;
    }
    // Not a link as opened: it must sit where the path says, or a link was followed.
    std::wstring parent = parentFinal;
    if (parent.empty()) parent = finalFolderPath(parentFolder(path));
    if (parent.empty()) {
        // Without the parent's place nothing can be compared: a failure, not a link.
        opened.error = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_OPEN_FAILED;
        opened.handle.reset();
        return opened;
    }
    removeTrailingBackslash(parent);  // a drive root ends in one
    const std::wstring actual = finalPath(opened.handle.get());
    std::wstring leaf = path;
    removeTrailingBackslash(leaf);
    leaf = leafName(leaf);
    if (actual.empty() || !sameName(actual, concat({parent, L"\\", leaf}))) {
        // A leaf given in its short form also ends elsewhere: compare the long forms.
        WIN32_FIND_DATAW data;
        const bool shortName = !actual.empty() && findFirst(path, data) &&
                               sameName(actual, concat({parent, L"\\", data.cFileName}));
        if (!shortName) {
            opened.kind = Named::FollowedLink;
            opened.handle.reset();
            return opened;
        }
    }
    opened.kind = Named::Object;
    return opened;
}

bool deleteOpened(HANDLE handle, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) basic.FileAttributes &= ~FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (seamFails(SeamCall::Delete)) return false;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool deleteEmptyFolder(const std::wstring& path) {
    const NamedObject opened = openNamed(path, DELETE);
    if (opened.kind != Named::Object || !opened.isFolder()) {
        ::SetLastError(opened.kind == Named::Object ? ERROR_DIRECTORY
                       : opened.kind == Named::Missing ? ERROR_FILE_NOT_FOUND
                                                        : ERROR_CANT_RESOLVE_FILENAME);
        return false;
    }
    return deleteOpened(opened.handle.get(), opened.attributes);
}

bool renameOpened(HANDLE handle, const std::wstring& destination) {
    // The native form of the target: "\??\C:\...".
    std::wstring target = extendedPath(destination);
    if (target.rfind(L"\\\\?\\", 0) == 0) target[1] = L'?', target[2] = L'?';
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + (target.size() + 1) * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    target.copy(rename->FileName, target.size());
    rename->FileName[target.size()] = L'\0';
    if (seamFails(SeamCall::Rename)) return false;
    return ::SetFileInformationByHandle(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace tidewell
