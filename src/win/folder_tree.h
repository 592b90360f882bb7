#pragma once
// Creating a destination's missing folders before a file goes there, and taking them
// away again, down to the folder that already existed, when the move is undone.
#include <string>

namespace tidewell {

// Creates the folder and every missing folder above it, outermost first. The walk up ends
// at a path without a backslash or at a bare drive: such a path is never created, and
// the file operation that needed the folder then fails on its own. Always true.
bool makeFolderTree(const std::wstring& folder);

// Removes the folder and then each parent, as long as each is empty, while it lies below
// the stop folder; the stop folder and everything above it stay. An empty stop, or a
// folder that does not lie below the stop, removes nothing.
void removeEmptyFolders(const std::wstring& folder, const std::wstring& stop);

}  // namespace tidewell
