// Moving and copying files in real installations: VU_MoveFile rows planned at immediate
// time, carried out in the script, and undone when the installation rolls back.
#include <gtest/gtest.h>
#include <msidefs.h>

#include <algorithm>

#include "move_actions.h"
#include "package.h"
#include "test_fs.h"

using namespace tidewell::test;

namespace {


// The three move actions, with the immediate one after InstallInitialize and before the
// standard MoveFiles (3800), on install and uninstall alike.
Package& addSequencedMoveActions(Package& package) { return addMoveActions(package).sequence(L"VU_MoveFilesImmediate", 1700); }

std::wstring folderValue(const std::wstring& path) { return path + L"\\"; }

// Source, destination folder and size of every progress message about a file under the
// folder, sorted (the installer's own actions send progress messages too).
std::vector<std::vector<std::wstring>> progressOf(const RunResult& result, const std::wstring& folder) {
    std::vector<std::vector<std::wstring>> records;
    for (const auto& message : result.actionDataRecords()) {
        if (message.fields.size() < 2 || message.fields[1].rfind(folder, 0) != 0) continue;
        EXPECT_EQ(4u, message.fields.size()) << "a progress record has three fields";
        records.emplace_back(message.fields.begin() + 1, message.fields.end());
    }
    std::sort(records.begin(), records.end());
    return records;
}

}  // namespace

TEST(MoveFiles, InstallCopiesMovesAndRenamesWithoutOverwriting) {
    TestFolder root(L"C:\\tw-move\\install");
    TestFolder drive2(L"D:\\tw-move\\install");
    writeFile(root / L"src\\copy\\a.txt", "alpha");
    writeFile(root / L"src\\copy\\b.txt", "be");
    writeFile(root / L"src\\copy\\c.log", "log");
    writeFile(root / L"src\\copy\\d.txt\\inner.txt", "a folder that matches");
    writeFile(root / L"src\\move\\one.dat", "1");
    writeFile(root / L"src\\move\\two1.dat", "21");
    writeFile(root / L"src\\move\\two2.dat", "22");
    writeFile(root / L"src\\busy\\exists.txt", "new");
    writeFile(root / L"src\\busy\\taken.txt", "new");
    writeFile(root / L"src\\busy\\Same.txt", "same");
    writeFile(root / L"src\\far\\far.txt", "far");
    writeFile(root / L"busy\\exists.txt", "old");
    CreateDirectoryW((root / L"busy\\taken.txt").c_str(), nullptr);

    Package package(L"move-install");
    package.component(L"Main")
        .property(L"SRC_COPY", folderValue(root / L"src\\copy"))
        .property(L"SRC_MOVE", folderValue(root / L"src\\move"))
        .property(L"SRC_BUSY", folderValue(root / L"src\\busy"))
        .property(L"SRC_FAR", folderValue(root / L"src\\far"))
        .property(L"DEST_COPY", folderValue(root / L"dest\\copies\\deep"))
        .property(L"DEST_MOVE", folderValue(root / L"dest\\moved"))
        .property(L"DEST_BUSY", folderValue(root / L"busy"))
        .property(L"DEST_SAME", L"C:\\TW-MOVE\\INSTALL\\SRC\\BUSY\\")
        .property(L"DEST_FAR", folderValue(drive2 / L"far"))
        .rows(L"MoveFile", {{L"copy", L"Main", L"*.txt", L"", L"SRC_COPY", L"DEST_COPY", L"0"},
                            {L"rename", L"Main", L"one.dat", L"renamed.dat", L"SRC_MOVE", L"DEST_MOVE", L"1"},
                            {L"keep", L"Main", L"two?.dat", L"ignored.dat", L"SRC_MOVE", L"DEST_MOVE", L"1"},
                            {L"busy", L"Main", L"*.txt", L"", L"SRC_BUSY", L"DEST_BUSY", L"0"},
                            {L"same", L"Main", L"Same.txt", L"", L"SRC_BUSY", L"DEST_SAME", L"1"},
                            {L"far", L"Main", L"far.txt", L"", L"SRC_FAR", L"DEST_FAR", L"1"},
                            {L"unset", L"Main", L"a.txt", L"", L"SRC_COPY", L"NO_SUCH_FOLDER", L"0"}})
        .rows(L"VU_MoveFile", {{L"copy", L"", L"0"}, {L"rename", L"", L"0"}, {L"keep", L"", L"0"},
                               {L"busy", L"", L"0"}, {L"same", L"", L"0"}, {L"far", L"", L"0"},
                               {L"unset", L"", L"0"}});
    addSequencedMoveActions(package);
    const RunResult result = package.install();
    ASSERT_EQ(0u, result.code);

    // Copies: every matching file (the matching folder is not one), into a created chain; sources stay.
    // Moves: one match renamed, two matches keep their names.
    EXPECT_EQ((std::vector<std::wstring>{L"copies\\", L"copies\\deep\\", L"copies\\deep\\a.txt",
                                         L"copies\\deep\\b.txt", L"moved\\", L"moved\\renamed.dat",
                                         L"moved\\two1.dat", L"moved\\two2.dat"}),
              listTree(root / L"dest"));
    EXPECT_EQ("alpha", readFile(root / L"dest\\copies\\deep\\a.txt"));
    EXPECT_EQ("1", readFile(root / L"dest\\moved\\renamed.dat"));
    EXPECT_EQ((std::vector<std::wstring>{L"a.txt", L"b.txt", L"c.log", L"d.txt\\", L"d.txt\\inner.txt"}),
              listTree(root / L"src\\copy"));
    EXPECT_TRUE(listTree(root / L"src\\move").empty());

    // Taken destinations (a file, a folder) are skipped; the rest of the row still goes.
    EXPECT_EQ("old", readFile(root / L"busy\\exists.txt"));
    EXPECT_TRUE(isDirectory(root / L"busy\\taken.txt"));
    EXPECT_EQ("same", readFile(root / L"busy\\Same.txt"));
    EXPECT_TRUE(result.logHas(L"row busy: skipped '" + (root / L"src\\busy\\exists.txt") + L"': destination '" +
                              (root / L"busy\\exists.txt") + L"' already exists"));
    // Its own destination but for letter case: no operation, the file stays where it is.
    EXPECT_EQ("same", readFile(root / L"src\\busy\\Same.txt"));
    EXPECT_TRUE(result.logHas(L"row same: skipped '" + (root / L"src\\busy\\Same.txt") + L"': it is its own destination"));
    // An unset destination folder property leaves a bare name: refused, never resolved against the current folder.
    EXPECT_TRUE(result.logHas(L"row unset: skipped '" + (root / L"src\\copy\\a.txt") +
                              L"': destination 'a.txt' is not an absolute path"));

    // From the system drive to the second drive: copied there, deleted here.
    EXPECT_EQ("far", readFile(drive2 / L"far\\far.txt"));
    EXPECT_FALSE(exists(root / L"src\\far\\far.txt"));

    const std::wstring copies = root / L"dest\\copies\\deep", moved = root / L"dest\\moved";
    std::vector<std::vector<std::wstring>> expected = {
        {root / L"src\\copy\\a.txt", copies, L"5"},    {root / L"src\\copy\\b.txt", copies, L"2"},
        {root / L"src\\move\\one.dat", moved, L"0"},   {root / L"src\\move\\two1.dat", moved, L"0"},
        {root / L"src\\move\\two2.dat", moved, L"0"},  {root / L"src\\busy\\Same.txt", root / L"busy", L"4"},
        {root / L"src\\far\\far.txt", drive2 / L"far", L"0"}};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, progressOf(result, root.path()));
}

TEST(MoveFiles, ExtendedOptionsChooseInstallUninstallOrBothAndTheStandardRowIsGone) {
    TestFolder root(L"C:\\tw-move\\modes");
    const std::vector<std::wstring> names = {L"m0", L"m1", L"m2", L"m3", L"m4", L"m6", L"mfalse", L"standard"};
    for (const auto& name : names) writeFile(root / (L"src\\" + name + L".txt"), "x");
    CreateDirectoryW((root / L"dest").c_str(), nullptr);

    Package package(L"move-modes");
    package.component(L"Main")
        .property(L"SRC", folderValue(root / L"src"))
        .property(L"DEST", folderValue(root / L"dest"));
    for (const auto& name : names)
        package.rows(L"MoveFile", {{name, L"Main", name + L".txt", L"", L"SRC", L"DEST", L"0"}});
    // "standard" has no VU_MoveFile row: Windows Installer's own MoveFiles copies it at
    // install, which shows that the standard action is live for the rows taken away.
    package.rows(L"VU_MoveFile", {{L"m0", L"", L"0"}, {L"m1", L"", L"1"}, {L"m2", L"", L"2"}, {L"m3", L"", L"3"},
                                  {L"m4", L"", L"4"}, {L"m6", L"", L"6"}, {L"mfalse", L"UNSET_PROPERTY", L"3"}});
    addSequencedMoveActions(package);

    const RunResult installed = package.install();
    ASSERT_EQ(0u, installed.code);
    EXPECT_EQ((std::vector<std::wstring>{L"m0.txt", L"m1.txt", L"m3.txt", L"m4.txt", L"standard.txt"}),
              listTree(root / L"dest"));
    EXPECT_TRUE(installed.logHas(L"row mfalse skipped: component 'Main' installed absent, requested local, but "
                                 L"condition 'UNSET_PROPERTY' is false"));

    removeTree(root / L"dest");
    CreateDirectoryW((root / L"dest").c_str(), nullptr);
    const RunResult removed = package.uninstall();
    ASSERT_EQ(0u, removed.code);
    EXPECT_EQ((std::vector<std::wstring>{L"m2.txt", L"m3.txt", L"m6.txt"}), listTree(root / L"dest"));
}

TEST(MoveFiles, RollbackPutsMovesBackRemovesCopiesAndOnlyTheFoldersItMade) {
    TestFolder root(L"C:\\tw-move\\rollback");
    TestFolder drive2(L"D:\\tw-move\\rollback");
    writeFile(root / L"src\\m.txt", "em");
    writeFile(root / L"src\\c.txt", "see");
    writeFile(root / L"src\\g.txt", "gee");
    writeFile(root / L"src\\d.txt", "dee");
    for (const wchar_t* kept : {L"keep1", L"keep2", L"keep3"}) CreateDirectoryW((root / kept).c_str(), nullptr);

    Package package(L"move-rollback");
    package.component(L"Main")
        .property(L"SRC", folderValue(root / L"src"))
        .property(L"DEST_MOVE", folderValue(root / L"keep1\\n1\\n2"))
        .property(L"DEST_COPY", folderValue(root / L"keep2\\made\\deep"))
        .property(L"DEST_LATE", folderValue(root / L"keep3\\late"))
        .property(L"DEST_FAR", folderValue(drive2 / L"far"))
        .rows(L"MoveFile", {{L"move", L"Main", L"m.txt", L"", L"SRC", L"DEST_MOVE", L"1"},
                            {L"copy", L"Main", L"c.txt", L"", L"SRC", L"DEST_COPY", L"0"},
                            {L"late", L"Main", L"g.txt", L"", L"SRC", L"DEST_LATE", L"0"},
                            {L"far", L"Main", L"d.txt", L"", L"SRC", L"DEST_FAR", L"1"}})
        .rows(L"VU_MoveFile", {{L"move", L"", L"0"}, {L"copy", L"", L"0"}, {L"late", L"", L"0"}, {L"far", L"", L"0"}})
        // In the script before the deferred move: a file of someone else's appears where
        // a copy was planned (absent at planning time), in a folder the copy would have made.
        .customAction(L"TW_WriteLate", msidbCustomActionTypeExe | msidbCustomActionTypeDirectory |
                                           msidbCustomActionTypeInScript,
                      L"TARGETDIR",
                      L"cmd.exe /c mkdir \"" + (root / L"keep3\\late") + L"\" && echo other> \"" +
                          (root / L"keep3\\late\\g.txt") + L"\"")
        .sequence(L"TW_WriteLate", 1650)
        .failAt(1800);
    addSequencedMoveActions(package);
    const RunResult result = package.install();
    ASSERT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), result.code);

    // The deferred action did its work before the failure...
    const std::wstring deferred = L"OnVuMoveFilesDeferred: ";
    EXPECT_TRUE(result.logHas(deferred + L"moved '" + (root / L"src\\m.txt") + L"'"));
    EXPECT_TRUE(result.logHas(deferred + L"copied '" + (root / L"src\\c.txt") + L"'"));
    EXPECT_TRUE(result.logHas(deferred + L"moved '" + (root / L"src\\d.txt") + L"'"));
    EXPECT_TRUE(result.logHas(deferred + L"could not copy '" + (root / L"src\\g.txt") + L"'"));
    // ...and the rollback undid it: moved files are back (also from the other drive), the
    // copy is gone, the folders made for them are gone but the kept ancestors stay, and
    // the file that was not the copy stays with its folder.
    EXPECT_EQ((std::vector<std::wstring>{L"keep1\\", L"keep2\\", L"keep3\\", L"keep3\\late\\", L"keep3\\late\\g.txt",
                                         L"src\\", L"src\\c.txt", L"src\\d.txt", L"src\\g.txt", L"src\\m.txt"}),
              listTree(root.path()));
    EXPECT_EQ("em", readFile(root / L"src\\m.txt"));
    EXPECT_EQ("dee", readFile(root / L"src\\d.txt"));
    EXPECT_EQ("other", readFile(root / L"keep3\\late\\g.txt").substr(0, 5));
    EXPECT_TRUE(listTree(drive2.path()).empty());
    EXPECT_TRUE(result.logHas(L"OnVuMoveFilesRollback: left '" + (root / L"keep3\\late\\g.txt") +
                              L"' in place: it is not the copy of '" + (root / L"src\\g.txt") + L"'"));
}

TEST(MoveFiles, EmptyWorkListDoesNothingInBothActions) {
    TestFolder root(L"C:\\tw-move\\empty");
    writeFile(root / L"src\\a.txt", "a");
    Package package(L"move-empty");
    package.component(L"Main").property(L"SRC", folderValue(root / L"src")).property(L"DEST", folderValue(root / L"dest"))
        .rows(L"MoveFile", {{L"none", L"Main", L"*.txt", L"", L"SRC", L"DEST", L"0"}})
        .rows(L"VU_MoveFile", {{L"none", L"", L"2"}})  // uninstall only: nothing at install
        .failAt(1800);
    addSequencedMoveActions(package);
    const RunResult result = package.install();
    ASSERT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), result.code);
    EXPECT_TRUE(result.logHas(L"OnVuMoveFilesImmediate: planned 0 file operation(s)"));
    EXPECT_TRUE(result.logHas(L"OnVuMoveFilesDeferred: 0 file operation(s) in the work list"));
    EXPECT_TRUE(result.logHas(L"OnVuMoveFilesRollback: 0 file operation(s) in the work list"));
    EXPECT_TRUE(progressOf(result, root.path()).empty());
    EXPECT_EQ((std::vector<std::wstring>{L"src\\", L"src\\a.txt"}), listTree(root.path()));
}
