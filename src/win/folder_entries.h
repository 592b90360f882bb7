#pragma once
// The entries of one folder, as the walkers see them: long names and attributes, with
// "." and ".." left out. Links show up with FILE_ATTRIBUTE_REPARSE_POINT and are never
// listed into.
#include <windows.h>
#include <string>
#include <vector>

namespace tidewell {

struct FolderEntry {
    std::wstring name;
    DWORD attributes;
    unsigned long long size;  // of a file; 0 for a folder
};

// False when the folder cannot be listed (an empty folder lists fine).
bool listFolder(const std::wstring& folder, std::vector<FolderEntry>& entries);

}  // namespace tidewell
