// A move that never happened (another program held its source) is not "undone" by
// putting whatever stands at the destination by then over the source.
#include <gtest/gtest.h>

#include "common/text.h"
#include "common/unique_any.h"
#include "move_files/move_executor.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "fault_fixture.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

TEST(MoveRollback, ASourceThatStayedIsNeverReplacedByAFilePlantedAtTheDestination) {
    TestFolder folder(L"C:\\tw-move-stayed");
    const std::wstring source = folder / L"app.config", destination = folder / L"moved\\app.config";
    writeFile(source, "original");
    ActionData data(writeMoveWorkList({{source, destination, kMoveFile, folder.path()}}));
    data.parse();
    Lines said;
    const ActionLog log(0, L"test", &said);
    MoveExecutor executor(log);
    executor.load(data);
    {
        // Held without FILE_SHARE_DELETE: the move cannot happen.
        const unique_hfile held(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.is_valid());
        executor.run();
    }
    ASSERT_EQ("original", readFile(source)) << "the move did not happen";
    writeFile(destination, "planted");
    executor.undo();
    EXPECT_EQ("original", readFile(source));
    EXPECT_EQ("planted", readFile(destination));
    bool leftAlone = false;
    for (const auto& line : said.lines) leftAlone = leftAlone || line.find(L"as they are: something stands at the source") != std::wstring::npos;
    EXPECT_TRUE(leftAlone);
}
