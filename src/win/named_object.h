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
    bool isFolder() const { return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY); }
};

// Two names of the file system compared as it compares them: ordinal, case ignored.
bool sameName(const std::wstring& a, const std::wstring& b);

// Where an open object really is: its path on its volume ("\dir\name"; "\" for a root);
// empty when it cannot be had.
std::wstring finalPath(HANDLE handle);
// The same for a folder, for checking many entries of it: empty when it cannot be opened.
std::wstring finalFolderPath(const std::wstring& folder);

// Opens the path with the access asked for (plus what the checks need). The parent's
// final path may be given when the caller knows it already (walkers do, per folder).
NamedObject openNamed(const std::wstring& path, DWORD access, const std::wstring& parentFinal = {});

// Deletes what the handle holds (opened with DELETE, and FILE_WRITE_ATTRIBUTES for a
// read-only file); a folder must be empty, a link goes itself.
bool deleteOpened(HANDLE handle, DWORD attributes);
// Renames what the handle holds (opened with DELETE) to the full path; never replaces.
bool renameOpened(HANDLE handle, const std::wstring& destination);

}  // namespace tidewell
