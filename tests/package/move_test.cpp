// Moving and copying files in real installations: VU_MoveFile rows planned at immediate
// time, carried out in the script, and undone when the installation rolls back.
#include <gtest/gtest.h>
#include <msidefs.h>

#include <algorithm>

#include "common/text.h"
#include "package.h"
#include "path_states.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

// The kit's actions, with the move's immediate one early in the script (after
// InstallInitialize), on install and uninstall alike, so that a test's own actions and
// failures can stand after it.
Package& addSequencedMoveActions(Package& package) {
    return package.withKit().sequence(L"VU_MoveFilesImmediate", 1700);
}

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
    const std::wstring copies = root / L"dest\\copies\\deep", moved = root / L"dest\\moved";
    // Each MoveFile row (options 1 moves, 0 copies) beside what it finds, what it leaves,
    // the log line it writes and its progress messages (source, destination folder, size).
    struct Case {
        std::wstring key, sourceName, destName, sourceFolder, destFolder;  // "" destFolder: unset
        const wchar_t* options;
        std::vector<PathState> before, after;
        std::wstring log = {};
        std::vector<std::vector<std::wstring>> progress;
    };
    const Case cases[] = {
        {L"copy", L"*.txt", L"", root / L"src\\copy", copies, L"0",
         {{root / L"src\\copy\\a.txt", "alpha"}, {root / L"src\\copy\\b.txt", "be"}, {root / L"src\\copy\\c.log", "log"},
          {root / L"src\\copy\\d.txt\\inner.txt", "a folder that matches"}},
         // Every matching file into a created chain, sources stay; the matching folder is not a file.
         {{copies + L"\\a.txt", "alpha"}, {copies + L"\\b.txt", "be"}, {copies + L"\\c.log", kAbsent},
          {copies + L"\\d.txt", kAbsent}, {root / L"src\\copy\\a.txt", "alpha"}, {root / L"src\\copy\\b.txt", "be"}},
         L"",
         {{root / L"src\\copy\\a.txt", copies, L"5"}, {root / L"src\\copy\\b.txt", copies, L"2"}}},
        {L"rename", L"one.dat", L"renamed.dat", root / L"src\\move", moved, L"1",
         {{root / L"src\\move\\one.dat", "1"}},
         // One match takes the new name.
         {{moved + L"\\renamed.dat", "1"}, {root / L"src\\move\\one.dat", kAbsent}},
         L"",
         {{root / L"src\\move\\one.dat", moved, L"0"}}},
        {L"keep", L"two?.dat", L"ignored.dat", root / L"src\\move", moved, L"1",
         {{root / L"src\\move\\two1.dat", "21"}, {root / L"src\\move\\two2.dat", "22"}},
         // Two matches keep their names.
         {{moved + L"\\two1.dat", "21"}, {moved + L"\\two2.dat", "22"}, {moved + L"\\ignored.dat", kAbsent},
          {root / L"src\\move\\two1.dat", kAbsent}, {root / L"src\\move\\two2.dat", kAbsent}},
         L"",
         {{root / L"src\\move\\two1.dat", moved, L"0"}, {root / L"src\\move\\two2.dat", moved, L"0"}}},
        {L"busy", L"*.txt", L"", root / L"src\\busy", root / L"busy", L"0",
         {{root / L"src\\busy\\exists.txt", "new"}, {root / L"src\\busy\\taken.txt", "new"},
          {root / L"src\\busy\\Same.txt", "same"}, {root / L"busy\\exists.txt", "old"},
          {root / L"busy\\taken.txt", kFolder}},
         // Taken destinations (a file, a folder) are skipped; the rest of the row still goes.
         {{root / L"busy\\exists.txt", "old"}, {root / L"busy\\taken.txt", kFolder}, {root / L"busy\\Same.txt", "same"}},
         L"row busy: skipped '" + (root / L"src\\busy\\exists.txt") + L"': destination '" +
             (root / L"busy\\exists.txt") + L"' already exists",
         {{root / L"src\\busy\\Same.txt", root / L"busy", L"4"}}},
        {L"same", L"Same.txt", L"", root / L"src\\busy", L"C:\\TW-MOVE\\INSTALL\\SRC\\BUSY", L"1",
         {},
         // Its own destination but for letter case: no operation, the file stays where it is.
         {{root / L"src\\busy\\Same.txt", "same"}},
         L"row same: skipped '" + (root / L"src\\busy\\Same.txt") + L"': it is its own destination",
         {}},
        {L"far", L"far.txt", L"", root / L"src\\far", drive2 / L"far", L"1",
         {{root / L"src\\far\\far.txt", "far"}},
         // From the system drive to the second drive: copied there, deleted here.
         {{drive2 / L"far\\far.txt", "far"}, {root / L"src\\far\\far.txt", kAbsent}},
         L"",
         {{root / L"src\\far\\far.txt", drive2 / L"far", L"0"}}},
        {L"unset", L"a.txt", L"", root / L"src\\copy", L"", L"0",
         {},
         // An unset destination folder property leaves a bare name: refused, never
         // resolved against the current folder.
         {},
         L"row unset: skipped '" + (root / L"src\\copy\\a.txt") + L"': destination 'a.txt' is not an absolute path",
         {}},
    };

    Package package(L"move-install");
    package.component(L"Main");
    std::vector<std::vector<std::wstring>> progress;
    for (const auto& c : cases) {
        layDown(c.before);
        package.property(L"SRC_" + c.key, folderValue(c.sourceFolder))
            .property(L"DEST_" + c.key, c.destFolder.empty() ? L"" : folderValue(c.destFolder))
            .rows(L"MoveFile", {{c.key, L"Main", c.sourceName, c.destName, L"SRC_" + c.key, L"DEST_" + c.key, c.options}})
            .rows(L"VU_MoveFile", {{c.key, L"", L"0"}});
        progress.insert(progress.end(), c.progress.begin(), c.progress.end());
    }
    addSequencedMoveActions(package);
    const RunResult result = package.install();
    ASSERT_EQ(0u, result.code);

    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.key));
        expectStates(c.after);
        if (!c.log.empty()) {
            EXPECT_TRUE(result.logHas(c.log)) << toUtf8(c.log);
        }
    }
    // Nothing else arrives, and each file is reported once.
    EXPECT_EQ((std::vector<std::wstring>{L"copies\\", L"copies\\deep\\", L"copies\\deep\\a.txt",
                                         L"copies\\deep\\b.txt", L"moved\\", L"moved\\renamed.dat",
                                         L"moved\\two1.dat", L"moved\\two2.dat"}),
              listTree(root / L"dest"));
    // Progress goes out for the first operation and then at most every half second: a few
    // records, each an operation that ran, none twice.
    std::sort(progress.begin(), progress.end());
    const auto reported = progressOf(result, root.path());
    EXPECT_FALSE(reported.empty());
    EXPECT_TRUE(std::includes(progress.begin(), progress.end(), reported.begin(), reported.end()));
    EXPECT_EQ(std::adjacent_find(reported.begin(), reported.end()), reported.end());
}

TEST(MoveFiles, ExtendedOptionsChooseInstallUninstallOrBothAndTheStandardRowIsGone) {
    TestFolder root(L"C:\\tw-move\\modes");
    // Each row's ExtendedOptions and condition beside whether its file is copied at
    // installation and at uninstallation.
    struct Case {
        const wchar_t* name;
        const wchar_t* options;  // nullptr: no VU_MoveFile row
        const wchar_t* condition;
        bool atInstall, atUninstall;
    } cases[] = {
        {L"m0", L"0", L"", true, false},
        {L"m1", L"1", L"", true, false},
        {L"m2", L"2", L"", false, true},
        {L"m3", L"3", L"", true, true},
        {L"m4", L"4", L"", true, false},
        {L"m6", L"6", L"", false, true},
        {L"mfalse", L"3", L"UNSET_PROPERTY", false, false},
        // Without a VU_MoveFile row Windows Installer's own MoveFiles copies it at
        // install, which shows that the standard action is live for the rows taken away.
        {L"standard", nullptr, L"", true, false},
    };
    Package package(L"move-modes");
    package.expectFinding(L"extended-options");  // rows m4 and m6 on purpose
    package.component(L"Main")
        .property(L"SRC", folderValue(root / L"src"))
        .property(L"DEST", folderValue(root / L"dest"));
    std::vector<std::wstring> atInstall, atUninstall;
    for (const auto& c : cases) {
        const std::wstring file = std::wstring(c.name) + L".txt";
        writeFile(root / (L"src\\" + file), "x");
        package.rows(L"MoveFile", {{c.name, L"Main", file, L"", L"SRC", L"DEST", L"0"}});
        if (c.options) package.rows(L"VU_MoveFile", {{c.name, c.condition, c.options}});
        if (c.atInstall) atInstall.push_back(file);
        if (c.atUninstall) atUninstall.push_back(file);
    }
    makeFolder(root / L"dest");
    addSequencedMoveActions(package);

    const RunResult installed = package.install();
    ASSERT_EQ(0u, installed.code);
    EXPECT_EQ(atInstall, listTree(root / L"dest"));
    EXPECT_TRUE(installed.logHas(L"row mfalse skipped: component 'Main' installed absent, requested local, but "
                                 L"condition 'UNSET_PROPERTY' is false"));

    removeTree(root / L"dest");
    makeFolder(root / L"dest");
    const RunResult removed = package.uninstall();
    ASSERT_EQ(0u, removed.code);
    EXPECT_EQ(atUninstall, listTree(root / L"dest"));
}

TEST(MoveFiles, RollbackPutsMovesBackRemovesCopiesAndOnlyTheFoldersItMade) {
    TestFolder root(L"C:\\tw-move\\rollback");
    TestFolder drive2(L"D:\\tw-move\\rollback");
    for (const wchar_t* kept : {L"keep1", L"keep2", L"keep3"}) makeFolder(root / kept);
    // Each row beside what the deferred action logs for it before the failure.
    struct Case {
        const wchar_t* key;
        const wchar_t* file;
        const char* content;
        std::wstring destFolder;
        const wchar_t* options;
        const wchar_t* deferred;
    } cases[] = {
        {L"move", L"m.txt", "em", root / L"keep1\\n1\\n2", L"1", L"moved"},
        {L"copy", L"c.txt", "see", root / L"keep2\\made\\deep", L"0", L"copied"},
        // A file of someone else's appears where this copy was planned (absent at
        // planning time), in a folder the copy would have made.
        {L"late", L"g.txt", "gee", root / L"keep3\\late", L"0", L"could not copy"},
        {L"far", L"d.txt", "dee", drive2 / L"far", L"1", L"moved"},
    };
    Package package(L"move-rollback");
    package.component(L"Main").property(L"SRC", folderValue(root / L"src"));
    for (const auto& c : cases) {
        writeFile(root / (L"src\\" + std::wstring(c.file)), c.content);
        package.property(std::wstring(L"DEST_") + c.key, folderValue(c.destFolder))
            .rows(L"MoveFile", {{c.key, L"Main", c.file, L"", L"SRC", std::wstring(L"DEST_") + c.key, c.options}})
            .rows(L"VU_MoveFile", {{c.key, L"", L"0"}});
    }
    // In the script before the deferred move: the late file.
    package
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

    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.key));
        // The deferred action did its work before the failure...
        EXPECT_TRUE(result.logHas(std::wstring(L"OnVuMoveFilesDeferred: ") + c.deferred + L" '" +
                                  (root / L"src\\" + c.file) + L"'"));
        // ...and the rollback undid it: every source is back (also from the other drive).
        EXPECT_EQ(c.content, readFile(root / L"src\\" + c.file));
    }
    // The copy is gone, the folders made for them are gone but the kept ancestors stay,
    // and the file that was not the copy stays with its folder.
    EXPECT_EQ((std::vector<std::wstring>{L"keep1\\", L"keep2\\", L"keep3\\", L"keep3\\late\\", L"keep3\\late\\g.txt",
                                         L"src\\", L"src\\c.txt", L"src\\d.txt", L"src\\g.txt", L"src\\m.txt"}),
              listTree(root.path()));
    EXPECT_EQ("other", readFile(root / L"keep3\\late\\g.txt").substr(0, 5));
    EXPECT_TRUE(listTree(drive2.path()).empty());
    EXPECT_TRUE(result.logHas(L"OnVuMoveFilesRollback: left '" + (root / L"keep3\\late\\g.txt") +
                              L"' in place: it is not the copy of '" + (root / L"src\\g.txt") + L"'"));
}

TEST(MoveFiles, EmptyPlanSchedulesNothing) {
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
    EXPECT_TRUE(result.logHas(L"OnVuMoveFilesImmediate: nothing scheduled"));
    EXPECT_FALSE(result.logHas(L"OnVuMoveFilesDeferred:")) << "an empty plan schedules no action";
    EXPECT_FALSE(result.logHas(L"OnVuMoveFilesRollback:"));
    EXPECT_TRUE(progressOf(result, root.path()).empty());
    EXPECT_EQ((std::vector<std::wstring>{L"src\\", L"src\\a.txt"}), listTree(root.path()));
}
