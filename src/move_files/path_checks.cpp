#include "move_files/path_checks.h"

#include <windows.h>

#include "common/text.h"
#include "win/folder_entries.h"
#include "win/name_pattern.h"
#include "win/paths.h"

namespace tidewell {

bool findMatchingFiles(const std::wstring& folder, const std::wstring& pattern, std::vector<std::wstring>& matches) {
    if (folder.empty() || pattern.empty()) return false;
    std::wstring base = folder;
    ensureTrailingBackslash(base);
    std::vector<FolderEntry> entries;
    listFolder(base, entries);
    for (const auto& entry : entries)
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && matchesNamePattern(entry.name, pattern))
            matches.push_back(base + entry.name);
    return !matches.empty();
}

bool isAbsolutePath(const std::wstring& path) {
    return !path.empty() && (path[0] == L'\\' || path.find(L':') != std::wstring::npos);
}

bool absolutePathExists(const std::wstring& path) {
    if (!isAbsolutePath(path)) return false;
    return pathExists(path);
}

namespace {
// A bare drive ("D:") names the drive's current folder to the find functions; for an
// ancestor what counts is whether the drive's root is there.
bool ancestorExists(const std::wstring& path) {
    if (path.size() == 2 && path[1] == L':') return isFolder(concat({path, L"\\"}));
    return absolutePathExists(path);
}
}  // namespace

std::wstring nearestExistingAncestor(const std::wstring& path) {
    std::wstring current = path;
    while (!current.empty() && !ancestorExists(current)) {
        const size_t at = current.find_last_of(L"\\/");
        if (at == std::wstring::npos) break;
        current.resize(at);
    }
    return current;
}

bool equalPaths(const std::wstring& first, const std::wstring& second, LetterCase letterCase) {
    if (first.size() != second.size()) return false;
    return letterCase == LetterCase::Matters ? first == second : asciiLower(first) == asciiLower(second);
}

}  // namespace tidewell
