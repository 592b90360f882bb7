#pragma once
// Path text helpers and thin wrappers over the Win32 file functions, shared by the
// removal, undo, move and backup code. Paths are wide, backslash separated, and given
// without the long-path prefix; every wrapper adds it (extendedPath), so no length limit
// applies. Every call is the wide form: names outside the ANSI code page must survive.
#include <windows.h>
#include <string>
#include <vector>

#include "common/unique_any.h"

namespace tidewell {

// Text only.
void ensureTrailingBackslash(std::wstring& path);  // not for the empty path
void removeTrailingBackslash(std::wstring& path);  // one backslash at most
// C:\a\b -> C:\a, C:\a\ -> C:, C:\ -> C:\ (a path without a backslash stays whole).
std::wstring parentFolder(const std::wstring& path);
// The text after the last backslash or slash; empty when there is neither.
std::wstring leafName(const std::wstring& path);
// A path cut at its last backslash (registry key names may hold slashes, so only the
// backslash counts): the text before it and the text after it. Without a backslash the
// parent is empty and the leaf is the whole path.
struct PathParts {
    std::wstring parent;
    std::wstring leaf;
};
PathParts splitAtLastBackslash(const std::wstring& path);
// "X:" or "X:\" (with any letter).
bool isDriveRoot(const std::wstring& path);
// The full path in its "\\?\" form ("\\?\UNC\" for a share), with slashes as
// backslashes, doubled backslashes single and "." and ".." resolved, since the prefix
// turns all of that off. A relative path, or one already prefixed, keeps its text.
std::wstring prefixedPath(const std::wstring& path);
// The path that the library's file calls use: prefixedPath, and in the 64-bit build
// System32 and Sysnative mapped as WOW64 maps them for the 32-bit build
// (libraryFileSystemPath), so that both builds reach the same file.
std::wstring extendedPath(const std::wstring& path);

// File system.
std::wstring tempFolder();  // with its trailing backslash; empty when unavailable
// The system's Windows folder ("C:\\Windows"), without a trailing backslash; the system
// names it, whatever its length.
std::wstring windowsFolder();
bool deleteFile(const std::wstring& path);
// Renames the file over the destination, replacing a file (or link) there, in one step.
bool replaceFile(const std::wstring& source, const std::wstring& destination);
// Removes the folder when it is empty (and is no link's target: RemoveDirectory removes a
// link to a folder itself).
bool removeEmptyFolder(const std::wstring& path);
bool createFolder(const std::wstring& path, SECURITY_ATTRIBUTES* security = nullptr);
bool setAttributes(const std::wstring& path, DWORD attributes);
bool isFolder(const std::wstring& path);  // a link to a folder counts
// INVALID_FILE_ATTRIBUTES when nothing is there.
DWORD fileAttributes(const std::wstring& path);
// A junction, symbolic link or mount point: never followed by the library's walkers.
bool isLink(const std::wstring& path);
inline bool isLinkAttributes(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
// What a copy does when the destination file exists already.
enum class ExistingFile { Keep, Replace };
// Keep makes the copy fail when the destination exists.
bool copyFile(const std::wstring& source, const std::wstring& destination, ExistingFile existing);
unique_hfind findFirst(const std::wstring& pattern, WIN32_FIND_DATAW& data);
bool pathExists(const std::wstring& path);  // files, folders and patterns
UINT driveType(const std::wstring& root);
// The drive roots (C:\ and so on) in the system's order; false when there are none.
bool logicalDrives(std::vector<std::wstring>& drives);
// Gives the last component its on-disk spelling (long name, case); drops one trailing backslash.
void trueName(std::wstring& path);
// True when the path begins with \\ or lies on a drive whose type is remote.
bool isNetworkPath(const std::wstring& path);

// Moves a file or folder (into an existing folder, or to a new name, replacing a file of
// that name): a rename within one volume, copy-check-delete across volumes (moveTree).
bool moveFileOrFolder(const std::wstring& source, const std::wstring& destination);

}  // namespace tidewell
