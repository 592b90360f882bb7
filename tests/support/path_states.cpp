#include "path_states.h"

#include <gtest/gtest.h>

#include <string_view>

#include "common/text.h"
#include "test_fs.h"

namespace tidewell::test {

void layDown(const std::vector<PathState>& states) {
    for (const auto& state : states) {
        if (state.content == kAbsent)
            removeTree(state.path);
        else if (std::string_view(state.content) == kFolder)
            makeFolder(state.path);
        else
            writeFile(state.path, state.content);
    }
}

void expectStates(const std::vector<PathState>& states) {
    for (const auto& state : states) {
        const std::string path = toUtf8(state.path);
        if (state.content == kAbsent)
            EXPECT_FALSE(exists(state.path)) << path << " should not be there";
        else if (std::string_view(state.content) == kFolder)
            EXPECT_TRUE(isDirectory(state.path)) << path << " should be a folder";
        else
            EXPECT_EQ(state.content, readFile(state.path)) << path;
    }
}

}  // namespace tidewell::test
