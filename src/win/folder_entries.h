#pragma once
// The entries of one folder, as the walkers see them: long names and attributes, with
// "." and ".." left out. Links show up with FILE_ATTRIBUTE_REPARSE_POINT and are never
// listed into.
#include <windows.h>
#include <string>
#include <vector>

namespace tidewell {

// The walkers go no deeper than this many folders below where they start: each level is
// a frame on the action's stack, and a tree made deep on purpose must not exhaust it. A
// deeper tree is refused as a whole (nothing of it is copied, moved or said removed).
inline constexpr int kDeepestFolder = 256;

struct FolderEntry {
    std::wstring name;
    DWORD attributes;
    unsigned long long size;  // of a file; 0 for a folder
    ULONGLONG lastWrite = 0;  // 100-nanosecond intervals since 1601 (UTC)
};

// False when the folder cannot be listed (an empty folder lists fine).
bool listFolder(const std::wstring& folder, std::vector<FolderEntry>& entries);

}  // namespace tidewell
