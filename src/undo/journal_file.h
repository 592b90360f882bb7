#pragma once
// The files in which undo state waits between actions (journals, backup files, write-ahead
// records): written new with the stores' security, and read only when they are no link
// and their owner is trusted.
#include <windows.h>
#include <string>
#include <vector>

namespace tidewell {

enum class ReadOutcome { Read, Missing, Refused, Damaged };

// Replaces whatever file stands at the path (a link there is replaced, not followed) by a
// new one holding the bytes: written whole and flushed under pendingFile(path), then
// renamed over the path. On failure the file at the path is as it was.
bool writeProtectedFile(const std::wstring& path, const std::vector<unsigned char>& bytes);
std::wstring pendingFile(const std::wstring& path);

// Missing: nothing there. Refused: a link, an untrusted owner, a file with more than one
// name (a hard link), or a file that cannot be opened now (error set). Damaged: larger
// than any journal of ours.
ReadOutcome readProtectedFile(const std::wstring& path, std::vector<unsigned char>& bytes, DWORD& error);

}  // namespace tidewell
