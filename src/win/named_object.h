#pragma once
// Opening exactly the file or folder that a path names, never what a link there points
// to. Where the system opens a link as such, the handle is the link itself; where it
// follows the link anyway (Wine follows Unix symbolic links, and does not always mark
// them), the final path of the handle gives the link away and nothing is opened.
#include <windows.h>
#include <string>

#include "common/unique_any.h"

namespace tidewell {

// Missing: nothing is there, looked at twice; an open that failed for a path that is
// there is Failed.
enum class Named { Object, Link, FollowedLink, Missing, Failed };

struct NamedObject {
    unique_hfile handle;  // valid for Object and Link
    Named kind = Named::Failed;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    DWORD error = ERROR_SUCCESS;
    // A path opened from its volume's root: the folder it was found in, held (no delete
    // sharing) as long as this object lives, and, for a FollowedLink stopped above the
    // item, the link on the way that was not followed.
    unique_hfile parent;
    std::wstring linkOnTheWay;
    bool isFolder() const { return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY); }
};

// For a log line about a link: "<link> on its way is a link (error 1921)" when the link
// stands above the item, else "it is a link".
std::wstring linkReason(const NamedObject& opened);

// Two names of the file system compared as it compares them: ordinal, case ignored.
bool sameName(const std::wstring& a, const std::wstring& b);

// Where an open object really is: its path on its volume ("\dir\name"; "\" for a root);
// empty when it cannot be had.
std::wstring finalPath(HANDLE handle);
// The same for a folder, for checking many entries of it: empty when it cannot be opened.
std::wstring finalFolderPath(const std::wstring& folder);

// Opens the path with the access asked for (plus what the checks need). A drive path is
// opened through the one door (win/held_folder.h): its folder from the volume's root,
// where a link on the way is followed only when trusted accounts alone could have made
// it, then the item relative to that folder. Walkers give the final path of the folder
// they opened that way for each entry in it, which is then opened by its path and must
// sit where that folder is.
NamedObject openNamed(const std::wstring& path, DWORD access, const std::wstring& parentFinal = {});

// Deletes what the handle holds (opened with DELETE, and FILE_WRITE_ATTRIBUTES for a
// read-only file); a folder must be empty, a link goes itself.
bool deleteOpened(HANDLE handle, DWORD attributes);
// Deletes the folder at the path when it is empty, opened through the door: never a
// link, never a folder reached through one; false otherwise (a folder with content
// stays, ERROR_DIR_NOT_EMPTY).
bool deleteEmptyFolder(const std::wstring& path);
// Renames what the handle holds (opened with DELETE) to the full path; never replaces.
bool renameOpened(HANDLE handle, const std::wstring& destination);

}  // namespace tidewell
