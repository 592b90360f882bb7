#pragma once
// What a test lays down before a run and expects after it, one path a line, so that a
// case table shows each row beside the files it touches.
#include <string>
#include <vector>

namespace tidewell::test {

inline constexpr const char* kFolder = "<folder>";  // a folder stands there
inline constexpr const char* kAbsent = nullptr;     // nothing stands there

struct PathState {
    std::wstring path;
    const char* content;  // the file's bytes, kFolder or kAbsent
};

// Writes the files and makes the folders (kAbsent entries are removed).
void layDown(const std::vector<PathState>& states);
// One expectation per path, naming the path when it fails.
void expectStates(const std::vector<PathState>& states);

}  // namespace tidewell::test
