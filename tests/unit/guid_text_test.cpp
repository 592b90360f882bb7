#include <gtest/gtest.h>

#include "win/guid_text.h"

using namespace tidewell;

TEST(GuidText, NewTextsAreBracedUpperCaseAndDistinct) {
    const std::wstring first = newGuidText();
    const std::wstring second = newGuidText();
    EXPECT_TRUE(isGuidText(first)) << first.size();
    EXPECT_TRUE(isGuidText(second));
    EXPECT_NE(first, second);
}
