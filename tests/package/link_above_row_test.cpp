// A row such as [DATA]Vendor\Logs\*.dll whose Vendor folder is a link, in real
// installations: where any user could have made the link (its folder can be written by
// every account), the removal leaves the link's target alone and the log names the link;
// where only trusted accounts could have (an administrator who relocated the folder), the
// row acts in the link's target as the package says.
#include <gtest/gtest.h>

#include "common/text.h"
#include "package.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

TEST(LinkAboveRow, RemovalFollowsOnlyALinkThatTrustedAccountsAloneCouldHaveMade) {
    int n = 0;
    enum class Removal { Permanent, UndoableWithCommit };
    const struct {
        LinkFolder folder;
        Removal removal;
        const char* what;
    } cases[] = {
        {LinkFolder::EveryoneWrites, Removal::Permanent, "a user's link, permanent removal"},
        {LinkFolder::EveryoneWrites, Removal::UndoableWithCommit, "a user's link, undoable removal and commit"},
        {LinkFolder::AsItIs, Removal::Permanent, "an administrator's relocation, permanent removal"},
        {LinkFolder::AsItIs, Removal::UndoableWithCommit, "an administrator's relocation, undoable removal and commit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Each case in folders of its own.
        const std::wstring root = L"C:\\tw-link-above-" + std::to_wstring(n);
        const std::wstring victim = L"C:\\tw-link-above-target-" + std::to_wstring(n++);
        for (const auto& folder : {root, victim}) removeUnixTree(folder);
        writeFile(victim + L"\\Logs\\keep.dll", "keep");
        makeFolder(root);
        const std::wstring link = root + L"\\Vendor";
        ASSERT_TRUE(makeUnixLinks({{link, victim, c.folder}}));

        Package package(L"link-above-row");
        package.component(L"Main")
            .property(L"LOGS", root + L"\\Vendor\\Logs\\")
            .rows(L"RemoveFile", {{L"logs", L"Main", L"*.dll", L"LOGS", L"1"}})
            .rows(L"VU_RemoveFile", {{L"logs", L"", L"0"}})
            .withKit()
            .kitSequence(L"VU_UndoRemoveFiles")
            .kitSequence(L"VU_RemoveFilesImmediate");
        const RunResult result = package.install(c.removal == Removal::Permanent ? L"DISABLEROLLBACK=1" : L"");
        ASSERT_EQ(0u, result.code);
        if (c.folder == LinkFolder::EveryoneWrites) {
            EXPECT_EQ("keep", readFile(victim + L"\\Logs\\keep.dll")) << "the link's target is untouched";
            EXPECT_TRUE(result.logHas(link + L" on its way is a link (error 1921)")) << "the log names the link";
        } else {
            EXPECT_FALSE(exists(victim + L"\\Logs\\keep.dll")) << "the row acted in the relocated folder";
            EXPECT_TRUE(result.logHas(L"row logs: removed " + root + L"\\Vendor\\Logs\\keep.dll"));
        }
        EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
        EXPECT_EQ(std::vector<std::wstring>{}, journalFiles());
        package.uninstall();
        for (const auto& folder : {root, victim}) removeUnixTree(folder);
    }
}
