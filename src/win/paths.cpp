#include "win/paths.h"

#include <shellapi.h>

#include <algorithm>

#include "common/text.h"
#include "win/fault_seam.h"
#include "win/tree_move.h"
#include "win/wow64_paths.h"

namespace tidewell {

void ensureTrailingBackslash(std::wstring& path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
}

void removeTrailingBackslash(std::wstring& path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
}

std::wstring parentFolder(const std::wstring& path) {
    std::wstring work = path;
    removeTrailingBackslash(work);
    PathParts parts = splitAtLastBackslash(work);
    // A leaf as long as the path means there was no backslash to cut at.
    return parts.leaf.size() == work.size() ? path : std::move(parts.parent);
}

std::wstring leafName(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? std::wstring() : path.substr(at + 1);
}

PathParts splitAtLastBackslash(const std::wstring& path) {
    const size_t at = path.rfind(L'\\');
    if (at == std::wstring::npos) return {{}, path};
    return {path.substr(0, at), path.substr(at + 1)};
}

bool isDriveRoot(const std::wstring& path) {
    return (path.size() == 2 || (path.size() == 3 && path[2] == L'\\')) && path[1] == L':';
}

namespace {

// The components of a path after its root, with "." dropped and ".." taking one back.
std::wstring resolvedComponents(const std::wstring& rest) {
    std::vector<std::wstring> parts;
    size_t at = 0;
    while (at <= rest.size()) {
        const size_t end = std::min(rest.find(L'\\', at), rest.size());
        const std::wstring part = rest.substr(at, end - at);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::wstring joined;
    for (const auto& part : parts) joined += (joined.empty() ? L"" : L"\\") + part;
    if (!rest.empty() && rest.back() == L'\\' && !joined.empty()) joined += L'\\';
    return joined;
}

}  // namespace

std::wstring prefixedPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
    std::wstring work = path;
    for (auto& c : work)
        if (c == L'/') c = L'\\';
    if (work.size() >= 2 && work[1] == L':' && (work.size() == 2 || work[2] == L'\\'))
        return concat({L"\\\\?\\", work.substr(0, 2), L"\\", resolvedComponents(work.size() > 3 ? work.substr(3) : L"")});
    if (work.size() > 2 && work[0] == L'\\' && work[1] == L'\\') {
        // \\server\share stays the root: ".." never climbs above it.
        const size_t server = work.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : work.find(L'\\', server + 1);
        if (share == std::wstring::npos) return concat({L"\\\\?\\UNC\\", work.substr(2)});
        return concat({L"\\\\?\\UNC\\", work.substr(2, share - 2), L"\\", resolvedComponents(work.substr(share + 1))});
    }
    return path;
}

std::wstring extendedPath(const std::wstring& path) { return libraryFileSystemPath(prefixedPath(path)); }

std::wstring tempFolder() {
    wchar_t probe[1];
    const DWORD needed = ::GetTempPathW(0, probe);
    if (needed == 0) return {};
    std::wstring folder(needed + 1, L'\0');
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0 || length >= folder.size()) return {};
    folder.resize(length);
    return folder;
}

std::wstring windowsFolder() {
    wchar_t probe[1];
    const UINT needed = ::GetSystemWindowsDirectoryW(probe, 0);
    if (needed == 0) return {};
    std::wstring folder(needed, L'\0');
    const UINT length = ::GetSystemWindowsDirectoryW(folder.data(), needed);
    if (length == 0 || length >= needed) return {};
    folder.resize(length);
    return folder;
}

bool deleteFile(const std::wstring& path) {
    return !seamFails(SeamCall::Delete) && ::DeleteFileW(extendedPath(path).c_str()) != FALSE;
}

bool replaceFile(const std::wstring& source, const std::wstring& destination) {
    return !seamFails(SeamCall::Rename) && ::MoveFileExW(extendedPath(source).c_str(), extendedPath(destination).c_str(),
                                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool removeEmptyFolder(const std::wstring& path) {
    return !seamFails(SeamCall::Delete) && ::RemoveDirectoryW(extendedPath(path).c_str()) != FALSE;
}

bool createFolder(const std::wstring& path, SECURITY_ATTRIBUTES* security) {
    return !seamFails(SeamCall::Create) && ::CreateDirectoryW(extendedPath(path).c_str(), security) != FALSE;
}

bool setAttributes(const std::wstring& path, DWORD attributes) {
    return !seamFails(SeamCall::Attributes) && ::SetFileAttributesW(extendedPath(path).c_str(), attributes) != FALSE;
}

DWORD fileAttributes(const std::wstring& path) {
    return seamFails(SeamCall::Attributes) ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(extendedPath(path).c_str());
}

bool isFolder(const std::wstring& path) {
    const DWORD attributes = fileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isLink(const std::wstring& path) { return isLinkAttributes(fileAttributes(path)); }

bool copyFile(const std::wstring& source, const std::wstring& destination, ExistingFile existing) {
    return !seamFails(SeamCall::Copy) && ::CopyFileW(extendedPath(source).c_str(), extendedPath(destination).c_str(),
                       existing == ExistingFile::Keep ? TRUE : FALSE) != FALSE;
}

unique_hfind findFirst(const std::wstring& pattern, WIN32_FIND_DATAW& data) {
    if (seamFails(SeamCall::List)) return unique_hfind();
    return unique_hfind(::FindFirstFileW(extendedPath(pattern).c_str(), &data));
}

bool pathExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    return findFirst(path, data).is_valid();
}

UINT driveType(const std::wstring& root) { return ::GetDriveTypeW(root.c_str()); }

bool logicalDrives(std::vector<std::wstring>& drives) {
    drives.clear();
    wchar_t probe[1];
    const DWORD needed = ::GetLogicalDriveStringsW(0, probe);
    if (needed == 0) return false;
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    const DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length > buffer.size()) return false;
    for (size_t at = 0; at < length && buffer[at] != L'\0';) {
        std::wstring drive(&buffer[at]);
        at += drive.size() + 1;
        drives.push_back(std::move(drive));
    }
    return !drives.empty();
}

void trueName(std::wstring& path) {
    removeTrailingBackslash(path);
    WIN32_FIND_DATAW data;
    if (findFirst(path, data)) path = concat({parentFolder(path), L"\\", data.cFileName});
}

bool isNetworkPath(const std::wstring& path) {
    if (path.size() < 3) return false;
    if (path[0] == L'\\' && path[1] == L'\\') return true;
    return driveType(path.substr(0, 3)) == DRIVE_REMOTE;
}

bool moveFileOrFolder(const std::wstring& source, const std::wstring& destination) {
    std::wstring from = source;
    trueName(from);
    std::wstring to = destination;
    removeTrailingBackslash(to);
    // As the shell's move did: into an existing folder, else to the new name.
    if (isFolder(to) && !isLink(to)) to += concat({L"\\", leafName(from)});
    return moveTree(from, to, ExistingTarget::Replace, nullptr) == MoveResult::Moved;
}

}  // namespace tidewell
