#pragma once
// The bytes a copy of a file or folder tree would write, counted before copying so that a
// copy that cannot fit is refused before it starts. Links are not followed (a copy leaves
// them out too), and no folder deeper than kDeepestFolder below the path is counted.
#include <string>

namespace tidewell {

struct TreeSize {
    unsigned long long bytes = 0;
    bool complete = true;  // false when a folder could not be listed or lies too deep: the count is a floor
};

TreeSize treeSize(const std::wstring& path);

// The bytes free for this process on the volume that holds the path; false when unknown.
bool freeBytesAt(const std::wstring& path, unsigned long long& free);

}  // namespace tidewell
