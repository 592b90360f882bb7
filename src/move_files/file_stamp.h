#pragma once
// What the move feature reads about a single file: its size for the progress message,
// and the size and last-write time that tell a copy made by the deferred action from a
// file that came to the destination by other means.
#include <windows.h>
#include <optional>
#include <string>

namespace tidewell {

// The low 32 bits of the file's size, read through the door; 0 when the file cannot be
// opened for reading (absent, a folder, a link, or locked).
DWORD fileSize(const std::wstring& path);

struct FileStamp {
    ULONGLONG size = 0;
    FILETIME lastWrite{};
};

// The stamp of an existing file; none for a folder or a path that cannot be read.
std::optional<FileStamp> fileStampOf(const std::wstring& path);

// True when both are files with the same size and last-write time, as a copy keeps them.
bool sameStamp(const std::wstring& first, const std::wstring& second);

// What a file is, whatever its name: its volume's serial number and file index, and
// its size and last-write time (which a move to another volume keeps, the index not).
struct FileIdentity {
    DWORD volume = 0;
    ULONGLONG index = 0;
    FileStamp stamp;
};

// The identity of the file at the path, read from a handle opened on the file itself;
// none for a folder, a link or a path that cannot be opened.
std::optional<FileIdentity> fileIdentityOf(const std::wstring& path);
// The same, read from a handle the caller opened; none when it cannot be read.
std::optional<FileIdentity> identityOfHandle(HANDLE file);
// Whether both name the very same file: one volume, one file index (and, as a file index
// may be given again, the same stamp).
bool isSameObject(const FileIdentity& found, const FileIdentity& recorded);
// As work-list text: four hexadecimal numbers joined by "-"; back again, none for text
// of another shape.
std::wstring identityText(const FileIdentity& identity);
std::optional<FileIdentity> parseIdentity(const std::wstring& text);
// Whether the file now found is the recorded one: of the same size and last-write time
// (which a move keeps), and on the same volume the same file too (on another volume a
// move makes a new file).
bool isSameFile(const FileIdentity& found, const FileIdentity& recorded);

}  // namespace tidewell
