#include <gtest/gtest.h>

#include "common/text.h"
#include "msi/action_data.h"

using namespace tidewell;

namespace {
const std::wstring F(1, kFieldSeparator), R(1, kRecordSeparator), G(1, kGroupSeparator);
}

TEST(ActionData, EmptyTextParsesToNoGroups) {
    ActionData data(L"");
    EXPECT_FALSE(data.parse());
    EXPECT_EQ(0u, data.groupCount());
}

TEST(ActionData, TextWithoutSeparatorIsOneField) {
    ActionData data(L"C:\\a b\\c");
    ASSERT_TRUE(data.parse());
    ASSERT_EQ(1u, data.groupCount());
    ASSERT_EQ(1u, data.group(0).size());
    EXPECT_EQ(ActionDataRecord{L"C:\\a b\\c"}, data.group(0)[0]);
}

TEST(ActionData, EmptyFieldsSurviveEverywhere) {
    // Leading, inner and trailing empty fields, two records, a property group.
    ActionData data(F + L"b" + F + F + R + L"x" + F + G + L"ALLUSERS" + F + L"1");
    ASSERT_TRUE(data.parse());
    ASSERT_EQ(2u, data.groupCount());
    EXPECT_EQ((ActionDataRecord{L"", L"b", L"", L""}), data.group(0)[0]);
    EXPECT_EQ((ActionDataRecord{L"x", L""}), data.group(0)[1]);
    EXPECT_EQ(L"1", ActionData::findValue(data.group(1), L"ALLUSERS"));
}

TEST(ActionData, GroupSeparatorAloneGivesTwoEmptyGroups) {
    ActionData data(G);
    ASSERT_TRUE(data.parse());
    ASSERT_EQ(2u, data.groupCount());
    EXPECT_TRUE(data.group(0).empty());
    EXPECT_TRUE(data.group(1).empty());
}

TEST(ActionData, WrittenRecordsReadBackWithTheirFieldCount) {
    const std::wstring text = joinFields({L"a", L"", L"c"}) + R + joinFields({L"", L"e", L""});
    ActionData data(text);
    ASSERT_TRUE(data.parse());
    ASSERT_EQ(2u, data.group(0).size());
    for (const auto& record : data.group(0)) EXPECT_EQ(3u, record.size());
    EXPECT_EQ(L"e", ActionData::fieldAt(data.group(0)[1], 1));
}

TEST(ActionData, AccessorsGiveEmptyTextWhenNothingMatches) {
    ActionData data(L"k" + F + L"v");
    ASSERT_TRUE(data.parse());
    EXPECT_EQ(L"", ActionData::findValue(data.group(0), L"missing"));
    EXPECT_EQ(L"", ActionData::findValue(data.group(0), L"K"));  // case-sensitive
    EXPECT_EQ(L"", ActionData::fieldAt(data.group(0)[0], 2));
}

TEST(ActionData, LongTextComesThroughWhole) {
    const std::wstring longField(5000, L'x');
    ActionData data(longField + F + longField);
    ASSERT_TRUE(data.parse());
    EXPECT_EQ(longField, ActionData::fieldAt(data.group(0)[0], 1));
}

TEST(Decimal, ReadsLikeTheTablesWriteNumbers) {
    struct Case {
        const wchar_t* text;
        int value;
    } cases[] = {{L"", 0},         {L"abc", 0},      {L"  42", 42},          {L"-1", -1},
                 {L"+7", 7},       {L"12abc", 12},   {L"\t-3x", -3},         {L"- 3", 0},
                 {L"0x10", 0},     {L"3 4", 3},      {L"99999999999", 2147483647},
                 {L"-99999999999", -2147483647 - 1}};
    for (const auto& c : cases) EXPECT_EQ(c.value, parseDecimal(c.text)) << "text '" << toUtf8(c.text) << "'";
}

TEST(Decimal, WritesEveryValueInFull) {
    struct Case {
        long long value;
        const wchar_t* text;
    } cases[] = {{0, L"0"},   {7, L"7"},       {-12, L"-12"},     {1603, L"1603"},  {4294967295LL, L"4294967295"},
                 {-9223372036854775807LL - 1, L"-9223372036854775808"}, {9223372036854775807LL, L"9223372036854775807"}};
    for (const auto& c : cases) EXPECT_EQ(c.text, toDecimal(c.value));
}
