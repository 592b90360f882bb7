// Patterns match long names only: Wine, like Windows, lets "*.tmp" find "a.tmpl" through
// its 8.3 short name; the removal must not.
#include <gtest/gtest.h>

#include "msi/action_data.h"
#include "msi/action_log.h"
#include "remove_files/removal_worker.h"
#include "win/name_pattern.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

TEST(NamePattern, MatchesLongNamesAsTheFindFunctionsDo) {
    const struct {
        const wchar_t* name;
        const wchar_t* pattern;
        bool matches;
    } cases[] = {
        {L"a.tmp", L"*.tmp", true},       {L"A.TMP", L"*.tmp", true},        {L"a.tmpl", L"*.tmp", false},
        {L"bookmark.tmpl", L"*.tmp", false}, {L"x.tmp.bak", L"*.tmp", false}, {L"readme", L"*.*", true},
        {L"readme", L"readme.*", true},   {L"readme.txt", L"read?e.txt", true}, {L"reade.txt", L"read?e.txt", false},
        {L"a b.log", L"*b*", true},       {L"ab", L"a", false},              {L"ab", L"ab", true},
    };
    for (const auto& c : cases) EXPECT_EQ(c.matches, matchesNamePattern(c.name, c.pattern)) << c.name << " " << c.pattern;
}

TEST(NamePattern, RemovalByPatternSparesNamesMatchedOnlyThroughTheirShortNames) {
    TestFolder folder(L"C:\\tw-pattern-83");
    for (const auto* name : {L"a.tmp", L"bookmark.tmpl", L"longername.tmpx"}) writeFile(folder / name, "x");
    // The platform does match short names: otherwise this test would show nothing.
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((folder / L"*.tmp").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    int found = 0;
    do ++found; while (FindNextFileW(search, &data));
    FindClose(search);
    ASSERT_EQ(3, found) << "the find functions match 8.3 names here";

    const ActionLog log(0, L"test");
    ActionData list(L"tmp\x01" L"c\x01" L"TMP~1|*.tmp\x01" + folder.path() + L"\x01" L"1\x01\x01\x01" L"0");
    list.parse();
    RemovalWorker worker(log);
    worker.load(list);
    worker.run(nullptr);
    EXPECT_EQ((std::vector<std::wstring>{L"bookmark.tmpl", L"longername.tmpx"}), listTree(folder.path()));
}
