// A property value that holds the work list's separators (U+0001 to U+0003) cannot add
// records of its own: the row that formats it is skipped, and said so in the log.
#include <gtest/gtest.h>

#include "common/text.h"
#include "package.h"
#include "test_fs.h"

using namespace tidewell::test;

TEST(WorkListSeparators, AValueHoldingThemSkipsItsRowInsteadOfAddingRecords) {
    TestFolder root(L"C:\\tw-separators");
    writeFile(root / L"keep\\a.txt", "keep");
    writeFile(root / L"victim\\data.txt", "victim");
    // Formatted into the folder field, this value would end its record and write another
    // one that removes the victim folder with everything in it.
    const std::wstring injected = root / L"keep" + L"\x02" L"evil\x01" L"Main\x01\x01" + root / L"victim" +
                                  L"\x01" L"1\x01\x01\x01" L"3\x02" L"rest";
    Package package(L"separators");
    package.property(L"TARGET", injected)
        .component(L"Main")
        .rows(L"RemoveFile", {{L"files", L"Main", L"a.txt", L"TARGET", L"1"}})
        .rows(L"VU_RemoveFile", {{L"files", L"", L"0"}})
        .withKit()
        .kitSequence(L"VU_UndoRemoveFiles")
        .kitSequence(L"VU_RemoveFilesImmediate");
    const RunResult result = package.install();
    ASSERT_EQ(0u, result.code);
    EXPECT_TRUE(result.logHas(
        L"OnVuRemoveFilesImmediate: row files skipped: a value holds a work-list separator (U+0001 to U+0003)"));
    EXPECT_EQ("victim", readFile(root / L"victim\\data.txt"));
    EXPECT_EQ("keep", readFile(root / L"keep\\a.txt"));
}
