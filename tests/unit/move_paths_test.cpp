// The path questions of the move planner and the folder walks of the executor, on a
// small tree of real files.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/text.h"
#include "common/unique_any.h"
#include "move_files/file_stamp.h"
#include "win/folder_tree.h"
#include "move_files/move_operation.h"
#include "move_files/move_rows.h"
#include "move_files/path_checks.h"
#include "win/paths.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

TEST(MoveRows, InstallModeComesFromTheTwoLowestBits) {
    const std::pair<int, int> cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 1}, {5, 1}, {6, 2}, {7, 3}, {-1, 3}};
    for (const auto& [extended, mode] : cases) EXPECT_EQ(mode, installModeOf(extended)) << "ExtendedOptions " << extended;
}

TEST(MovePaths, EqualPathsComparesLengthThenUnitsOrAsciiFoldedUnits) {
    struct Case {
        const wchar_t* first;
        const wchar_t* second;
        LetterCase letterCase;
        bool equal;
    } cases[] = {
        {L"C:\\Data\\a.txt", L"c:\\data\\A.TXT", LetterCase::Ignored, true},
        {L"C:\\Data\\a.txt", L"c:\\data\\A.TXT", LetterCase::Matters, false},
        {L"C:\\Data\\a.txt", L"C:\\Data\\a.txt", LetterCase::Matters, true},
        {L"C:\\Data\\a.txt", L"C:\\Data\\a.txt ", LetterCase::Ignored, false},
        {L"C:\\\u00C9t\u00E9", L"C:\\\u00E9t\u00E9", LetterCase::Ignored, false},  // only A to Z are folded
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.equal, equalPaths(c.first, c.second, c.letterCase)) << c.first << L" / " << c.second;
}

TEST(MovePaths, FindMatchingFilesTakesFilesOfTheFolderItselfNeverFolders) {
    TestFolder root(L"C:\\tw-unit\\move-find");
    writeFile(root / L"a.txt", "a");
    writeFile(root / L"b.txt", "b");
    writeFile(root / L"c.log", "c");
    writeFile(root / L"folder.txt\\inner.txt", "x");  // a matching folder, and a file below it

    std::vector<std::wstring> matches{L"kept"};
    EXPECT_TRUE(findMatchingFiles(root.path() + L"\\", L"*.txt", matches));
    std::sort(matches.begin() + 1, matches.end());
    EXPECT_EQ((std::vector<std::wstring>{L"kept", root / L"a.txt", root / L"b.txt"}), matches);

    std::vector<std::wstring> none;
    EXPECT_FALSE(findMatchingFiles(root.path(), L"", none));
    EXPECT_FALSE(findMatchingFiles(L"", L"*.txt", none));
    EXPECT_FALSE(findMatchingFiles(root / L"missing", L"*", none));
    EXPECT_FALSE(findMatchingFiles(root.path(), L"folder.txt", none));
    EXPECT_TRUE(none.empty());
}

TEST(MovePaths, ExistenceAndNearestAncestorOfDestinations) {
    TestFolder root(L"C:\\tw-unit\\move-exists");
    writeFile(root / L"file.txt", "f");
    CreateDirectoryW((root / L"sub").c_str(), nullptr);

    EXPECT_TRUE(absolutePathExists(root / L"file.txt"));
    EXPECT_TRUE(absolutePathExists(root / L"sub"));
    EXPECT_FALSE(absolutePathExists(root / L"sub\\"));  // a trailing backslash is not found
    EXPECT_FALSE(absolutePathExists(root / L"other.txt"));
    EXPECT_FALSE(absolutePathExists(L""));
    EXPECT_FALSE(absolutePathExists(L"tw-unit"));  // relative: never looked up

    EXPECT_EQ(root / L"sub", nearestExistingAncestor(root / L"sub\\new\\deeper\\f.txt"));
    EXPECT_EQ(root.path(), nearestExistingAncestor(root.path() + L"/new/f.txt"));
    EXPECT_EQ(root / L"file.txt", nearestExistingAncestor(root / L"file.txt"));
    EXPECT_EQ(L"D:", nearestExistingAncestor(L"D:\\tw-move-new\\f.txt"));  // a drive root is kept
    EXPECT_EQ(L"Q:", nearestExistingAncestor(L"Q:\\tw-move\\f.txt"));       // no such drive: nothing exists
    EXPECT_EQ(L"name.txt", nearestExistingAncestor(L"name.txt"));
    EXPECT_EQ(L"", nearestExistingAncestor(L""));
}

// The one backslash splitter and the parent folder built on it, where they differ.
TEST(MovePaths, SplitAtLastBackslashAndParentFolder) {
    struct Case {
        const wchar_t* path;
        const wchar_t* parent;
        const wchar_t* leaf;
        const wchar_t* parentFolder;
    } cases[] = {
        {L"C:\\a\\b", L"C:\\a", L"b", L"C:\\a"},
        {L"C:\\a\\", L"C:\\a", L"", L"C:"},
        {L"C:\\", L"C:", L"", L"C:\\"},
        {L"name", L"", L"name", L"name"},
        {L"\\name", L"", L"name", L""},
        {L"Software\\A/B", L"Software", L"A/B", L"Software"},
        {L"", L"", L"", L""},
    };
    for (const auto& c : cases) {
        const PathParts parts = splitAtLastBackslash(c.path);
        EXPECT_EQ(c.parent, parts.parent) << c.path;
        EXPECT_EQ(c.leaf, parts.leaf) << c.path;
        EXPECT_EQ(c.parentFolder, parentFolder(c.path)) << c.path;
    }
}

TEST(MoveFolders, MakeFolderTreeCreatesTheChainAndStopsAtPathsWithoutATop) {
    TestFolder root(L"C:\\tw-unit\\move-make");
    EXPECT_TRUE(makeFolderTree(root / L"a\\b\\c\\"));
    EXPECT_TRUE(isDirectory(root / L"a\\b\\c"));
    EXPECT_TRUE(makeFolderTree(root / L"a\\b\\c"));  // again: nothing to do, still true

    // No backslash at all, or a drive that does not exist: nothing is created, no endless walk.
    EXPECT_TRUE(makeFolderTree(L"tw-move-relative"));
    EXPECT_FALSE(exists(L"tw-move-relative"));
    EXPECT_TRUE(makeFolderTree(L"Q:\\tw-move\\x"));
    EXPECT_FALSE(isDirectory(L"Q:\\tw-move"));
}

TEST(MoveFolders, RemoveEmptyFoldersClimbsToButNeverIncludingTheStop) {
    TestFolder root(L"C:\\tw-unit\\move-remove");
    struct Case {
        const char* what;
        std::wstring stop;
        std::vector<std::wstring> left;  // listTree of root afterwards
    } cases[] = {
        {"stop is the kept ancestor", root / L"kept", {L"kept\\"}},
        {"stop with a trailing backslash", root / L"kept\\", {L"kept\\"}},
        {"empty stop removes nothing", L"", {L"kept\\", L"kept\\n1\\", L"kept\\n1\\n2\\"}},
        {"stop that is not above the folder", root / L"elsewhere", {L"kept\\", L"kept\\n1\\", L"kept\\n1\\n2\\"}},
        {"stop spelled in another case", root / L"KEPT", {L"kept\\"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CreateDirectoryW((root / L"kept").c_str(), nullptr);
        makeFolderTree(root / L"kept\\n1\\n2");
        removeEmptyFolders(root / L"kept\\n1\\n2", c.stop);
        EXPECT_EQ(c.left, listTree(root.path()));
    }

    // A folder that still holds a file stays, and so does everything above it.
    writeFile(root / L"kept\\n1\\other.txt", "o");
    makeFolderTree(root / L"kept\\n1\\n2");
    removeEmptyFolders(root / L"kept\\n1\\n2", root / L"kept");
    EXPECT_EQ((std::vector<std::wstring>{L"kept\\", L"kept\\n1\\", L"kept\\n1\\other.txt"}), listTree(root.path()));
}

TEST(MoveStamp, SizeAndStampTellACopyFromAnotherFile) {
    TestFolder root(L"C:\\tw-unit\\move-stamp");
    writeFile(root / L"source.txt", "12345");
    EXPECT_EQ(5u, fileSize(root / L"source.txt"));
    EXPECT_EQ(0u, fileSize(root / L"absent.txt"));
    EXPECT_EQ(0u, fileSize(root.path()));

    ASSERT_TRUE(CopyFileW((root / L"source.txt").c_str(), (root / L"copy.txt").c_str(), TRUE));
    EXPECT_TRUE(sameStamp(root / L"copy.txt", root / L"source.txt"));

    writeFile(root / L"other.txt", "54321");  // same size, its own write time
    FILETIME past{0x10000000, 0x01D00000};
    {
        const unique_hfile other(
            CreateFileW((root / L"other.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        SetFileTime(other.get(), nullptr, nullptr, &past);
    }
    EXPECT_FALSE(sameStamp(root / L"other.txt", root / L"source.txt"));
    EXPECT_FALSE(sameStamp(root / L"absent.txt", root / L"source.txt"));
    EXPECT_FALSE(sameStamp(root.path(), root.path()));
}

TEST(MoveWorkList, RecordsOfFourOrFiveFieldsRoundTripAndOthersAreSkipped) {
    const std::vector<MoveOperation> operations = {
        {L"C:\\s\\a.txt", L"D:\\d\\a.txt", 0, L"D:\\d", {}},
        {L"C:\\s\\b.txt", L"C:\\d\\n\\b.txt", -1, L"", {}},
        {L"C:\\s\\c.txt", L"C:\\d\\c.txt", 1, L"C:\\d", L"1A2B-3C-4-5D"},
    };
    const std::wstring text = writeMoveWorkList(operations);
    const std::wstring F(1, kFieldSeparator), R(1, kRecordSeparator), G(1, kGroupSeparator);
    EXPECT_EQ(L"C:\\s\\a.txt" + F + L"D:\\d\\a.txt" + F + L"0" + F + L"D:\\d" + R + L"C:\\s\\b.txt" + F +
                  L"C:\\d\\n\\b.txt" + F + L"-1" + F + R + L"C:\\s\\c.txt" + F + L"C:\\d\\c.txt" + F + L"1" + F +
                  L"C:\\d" + F + L"1A2B-3C-4-5D",
              text);
    EXPECT_EQ(L"", writeMoveWorkList({}));

    ActionData parsed(text + R + L"x" + F + L"y" + F + L"1" + R + L"a" + F + L"b" + F + L"1" + F + L"c" + F + L"e" + F + L"f");
    parsed.parse();
    const ActionLog log(0, L"test");
    const auto read = readMoveWorkList(parsed, log);
    ASSERT_EQ(3u, read.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(operations[i].source, read[i].source);
        EXPECT_EQ(operations[i].destination, read[i].destination);
        EXPECT_EQ(operations[i].options, read[i].options);
        EXPECT_EQ(operations[i].keptAncestor, read[i].keptAncestor);
        EXPECT_EQ(operations[i].identity, read[i].identity);
    }

    ActionData twoGroups(text + G + text);
    twoGroups.parse();
    EXPECT_TRUE(readMoveWorkList(twoGroups, log).empty());
}

TEST(MoveWorkList, IdentityTextRoundTripsAndOtherShapesAreRefused) {
    FileIdentity identity;
    identity.volume = 0xDEADBEEF;
    identity.index = 0x0001000000000123ull;
    identity.stamp.size = 12;
    identity.stamp.lastWrite = {0x89ABCDEF, 0x01D9ABCD};
    const auto back = parseIdentity(identityText(identity));
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(isSameFile(*back, identity));
    EXPECT_EQ(identity.index, back->index);
    for (const wchar_t* text : {L"", L"1-2-3", L"1-2-3-4-5", L"1--3-4", L"G-2-3-4", L"100000000-2-3-4"})
        EXPECT_FALSE(parseIdentity(text).has_value()) << toUtf8(text);
}
