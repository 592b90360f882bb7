#pragma once
// What the move feature reads about a single file: its size for the progress message,
// and the size and last-write time that tell a copy made by the deferred action from a
// file that came to the destination by other means.
#include <windows.h>
#include <optional>
#include <string>

namespace tidewell {

// The low 32 bits of the file's size; 0 when the file cannot be opened for reading
// without sharing (absent, a folder, or held open by another process).
DWORD fileSize(const std::wstring& path);

struct FileStamp {
    ULONGLONG size = 0;
    FILETIME lastWrite{};
};

// The stamp of an existing file; none for a folder or a path that cannot be read.
std::optional<FileStamp> fileStampOf(const std::wstring& path);

// True when both are files with the same size and last-write time, as a copy keeps them.
bool sameStamp(const std::wstring& first, const std::wstring& second);

}  // namespace tidewell
