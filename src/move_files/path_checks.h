#pragma once
// The questions the move planner asks about paths at immediate time: which files a
// pattern matches, whether a destination is already taken, and which part of a
// destination's folder chain exists before anything is created.
#include <string>
#include <vector>

namespace tidewell {

// Appends folder\name for every file (never a folder) that the pattern matches directly in
// the folder, in the order of the directory search; only long names are matched.
// True when the list is not empty afterwards; an empty folder or pattern adds nothing.
bool findMatchingFiles(const std::wstring& folder, const std::wstring& pattern, std::vector<std::wstring>& matches);

// A path that starts with a backslash or holds a drive colon; anything else would be
// resolved against the installer's current folder.
bool isAbsolutePath(const std::wstring& path);

// True when an absolute path names an existing file or folder; relative and empty paths,
// and paths that end with a backslash, count as absent without touching the disk.
bool absolutePathExists(const std::wstring& path);

// The path itself when it exists (or is empty), else its longest existing ancestor, cut at
// backslashes or slashes; a text without a separator is returned as it is.
std::wstring nearestExistingAncestor(const std::wstring& path);

// Whether two paths that differ only in the case of ASCII letters are the same path.
enum class LetterCase { Matters, Ignored };
// Equal lengths and equal code units, or, with the case ignored, equal after folding
// the ASCII letters.
bool equalPaths(const std::wstring& first, const std::wstring& second, LetterCase letterCase);

}  // namespace tidewell
