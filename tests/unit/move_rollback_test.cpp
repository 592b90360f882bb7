// A move that never happened (another program held its source) is not "undone" by
// putting whatever stands at the destination by then over the source; a move's rollback
// takes back only the file that was moved (same volume: the same file; another volume:
// the copy whose identity the move recorded, never a file of the same size and time put
// there since), and a move takes only the file it was planned for.
#include <gtest/gtest.h>

#include "common/text.h"
#include "common/unique_any.h"
#include "move_files/file_stamp.h"
#include "move_files/move_executor.h"
#include "move_files/move_operation.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "fault_fixture.h"
#include "test_fs.h"
#include "win/paths.h"

using namespace tidewell;
using namespace tidewell::test;

TEST(MoveRollback, ASourceThatStayedIsNeverReplacedByAFilePlantedAtTheDestination) {
    TestFolder folder(L"C:\\tw-move-stayed");
    const std::wstring source = folder / L"app.config", destination = folder / L"moved\\app.config";
    writeFile(source, "original");
    ActionData data(writeMoveWorkList({{source, destination, kMoveFile, folder.path(), {}}}));
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

namespace {

bool said(const Lines& lines, const std::wstring& text) {
    for (const auto& line : lines.lines)
        if (line.find(text) != std::wstring::npos) return true;
    return false;
}

// One planned move of source to destination with the source's identity as planned.
std::vector<MoveOperation> plannedMove(const std::wstring& source, const std::wstring& destination,
                                       const std::wstring& kept) {
    const auto identity = fileIdentityOf(source);
    EXPECT_TRUE(identity.has_value());
    return {{source, destination, kMoveFile, kept, identity ? identityText(*identity) : std::wstring()}};
}

}  // namespace

TEST(MoveRollback, OnlyTheFileThatWasMovedGoesBack) {
    TestFolder local(L"C:\\tw-move-identity");
    TestFolder other(L"D:\\tw-move-identity");
    // Another file put in the moved file's place after the move: none, one of other
    // content, or one of the same size and last-write time (only its identity differs).
    // On one volume Wine's file index is the inode number, which Linux gives at once to
    // the next file made: a same-stamp file planted there cannot be told apart under Wine
    // (NTFS does not give a file ID again so soon), so that case is across volumes only.
    enum class Planted { None, Other, SameStamp };
    struct Case {
        const char* what;
        std::wstring destination;
        Planted planted;
    } cases[] = {
        {"moved on its volume, nothing changed", local / L"moved\\a.cfg", Planted::None},
        {"moved on its volume, another file put in its place", local / L"moved\\a.cfg", Planted::Other},
        {"moved to another volume, nothing changed", other / L"moved\\a.cfg", Planted::None},
        {"moved to another volume, another file put in its place", other / L"moved\\a.cfg", Planted::Other},
        {"moved to another volume, a file of the same size and time put in its place", other / L"moved\\a.cfg",
         Planted::SameStamp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring source = local / L"a.cfg";
        writeFile(source, "original");
        ActionData data(writeMoveWorkList(plannedMove(source, c.destination, parentFolder(parentFolder(c.destination)))));
        data.parse();
        Lines lines;
        const ActionLog log(0, L"test", &lines);
        MoveExecutor executor(log);
        executor.load(data);
        executor.run();
        ASSERT_EQ("original", readFile(c.destination));
        if (c.planted != Planted::None) {
            const auto moved = fileStampOf(c.destination);
            ASSERT_TRUE(moved.has_value());
            DeleteFileW(c.destination.c_str());
            writeFile(c.destination, c.planted == Planted::Other ? "planted" : "ORIGINAL");
            if (c.planted == Planted::SameStamp) {
                const unique_hfile file(CreateFileW(c.destination.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                                    OPEN_EXISTING, 0, nullptr));
                ASSERT_TRUE(file.is_valid());
                ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &moved->lastWrite));
            }
        }
        executor.undo();
        if (c.planted != Planted::None) {
            EXPECT_FALSE(exists(source)) << "nothing is put at the source";
            EXPECT_EQ(c.planted == Planted::Other ? "planted" : "ORIGINAL", readFile(c.destination));
            EXPECT_TRUE(said(lines, L"in place: it is not the file moved from"));
            removeTree(parentFolder(c.destination));
        } else {
            EXPECT_EQ("original", readFile(source));
            EXPECT_FALSE(exists(c.destination));
        }
        DeleteFileW(source.c_str());
    }
}

TEST(MoveRollback, AMoveTakesOnlyTheFileItWasPlannedFor) {
    TestFolder folder(L"C:\\tw-move-replaced");
    const std::wstring source = folder / L"a.cfg", destination = folder / L"moved\\a.cfg";
    writeFile(source, "planned");
    ActionData data(writeMoveWorkList(plannedMove(source, destination, folder.path())));
    data.parse();
    DeleteFileW(source.c_str());
    writeFile(source, "put in its place");
    Lines lines;
    const ActionLog log(0, L"test", &lines);
    MoveExecutor executor(log);
    executor.load(data);
    executor.run();
    EXPECT_EQ("put in its place", readFile(source));
    EXPECT_FALSE(exists(destination));
    EXPECT_TRUE(said(lines, L"it is not the file planned for the move"));
}
