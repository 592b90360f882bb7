// File removal in real installations: VU_RemoveFile rows removed for good, undoably with
// commit, and put back by a rollback.
#include <gtest/gtest.h>

#include "common/text.h"
#include "undo/write_ahead_log.h"
#include "package.h"
#include "path_states.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

using Names = std::vector<std::wstring>;

// The kit's actions, file removal in the kit's places (before RemoveFiles).
Package& addRemoveFilesActions(Package& package) {
    return package.withKit().kitSequence(L"VU_UndoRemoveFiles").kitSequence(L"VU_RemoveFilesImmediate");
}

}  // namespace

TEST(RemoveFilesPermanent, FoldersPatternsOptionsConditionsAndInstallModes) {
    TestFolder root(L"C:\\tw-rf-perm");
    TestFolder second(L"D:\\tw-rf-perm");
    // A pattern folder: matching files and folders (empty and not), and ones that do not match.
    auto patternFolder = [&](const std::wstring& name) -> std::vector<PathState> {
        return {{root / (name + L"\\a.log"), "a"},        {root / (name + L"\\b.txt"), "b"},
                {root / (name + L"\\empty.log"), kFolder}, {root / (name + L"\\full.log\\inner.txt"), "i"},
                {root / (name + L"\\keep\\c.log"), "c"}};
    };
    // What is left of a pattern folder: the files that do not match stay in every case.
    auto patternLeft = [&](const std::wstring& name, const char* emptyLog, const char* fullLog) -> std::vector<PathState> {
        return {{root / (name + L"\\a.log"), kAbsent},    {root / (name + L"\\b.txt"), "b"},
                {root / (name + L"\\empty.log"), emptyLog}, {root / (name + L"\\full.log\\inner.txt"), fullLog},
                {root / (name + L"\\full.log"), fullLog == kAbsent ? kAbsent : kFolder},
                {root / (name + L"\\keep\\c.log"), "c"}};
    };
    // Each RemoveFile row (all of install mode 1 but "later") and its VU_RemoveFile
    // condition and options, beside what it finds, what it leaves and what it logs.
    struct Case {
        std::wstring key, fileName;
        std::wstring folder;  // the folder property's value; "" leaves it unset
        const wchar_t* mode;
        const wchar_t* condition;
        const wchar_t* options;
        std::vector<PathState> before, after;
        std::wstring log = {};
    };
    const Case cases[] = {
        // A folder row with options 3 removes the whole tree, read-only files included.
        {L"tree", L"", root / L"tree", L"1", L"", L"3",
         {{root / L"tree\\sub\\deep\\x.txt", "x"}, {root / L"tree\\readonly.txt", "r"}},
         {{root / L"tree", kAbsent}}},
        // A pattern removes matching files; options 1 adds empty folders, 2 folders with content.
        {L"pat0", L"LOGS~1|*.log", root / L"pat0", L"1", L"", L"0", patternFolder(L"pat0"),
         patternLeft(L"pat0", kFolder, "i")},
        {L"pat1", L"LOGS~1|*.log", root / L"pat1", L"1", L"", L"1", patternFolder(L"pat1"),
         patternLeft(L"pat1", kAbsent, "i")},
        {L"pat2", L"LOGS~1|*.log", root / L"pat2", L"1", L"", L"2", patternFolder(L"pat2"),
         patternLeft(L"pat2", kFolder, kAbsent)},
        {L"pat3", L"LOGS~1|*.log", root / L"pat3", L"1", L"", L"3", patternFolder(L"pat3"),
         patternLeft(L"pat3", kAbsent, kAbsent)},
        // A folder row below options 3 removes the folder when it is empty, never its content.
        {L"empty0", L"", root / L"empty0", L"1", L"", L"0", {{root / L"empty0", kFolder}}, {{root / L"empty0", kAbsent}}},
        {L"empty1", L"", root / L"empty1", L"1", L"", L"1", {{root / L"empty1", kFolder}}, {{root / L"empty1", kAbsent}}},
        {L"empty2", L"", root / L"empty2", L"1", L"", L"2", {{root / L"empty2", kFolder}}, {{root / L"empty2", kAbsent}}},
        {L"full0", L"", root / L"full0", L"1", L"", L"0", {{root / L"full0\\f.txt", "f"}}, {{root / L"full0\\f.txt", "f"}}},
        {L"full1", L"", root / L"full1", L"1", L"", L"1", {{root / L"full1\\f.txt", "f"}}, {{root / L"full1\\f.txt", "f"}}},
        {L"full2", L"", root / L"full2", L"1", L"", L"2", {{root / L"full2\\f.txt", "f"}}, {{root / L"full2\\f.txt", "f"}}},
        // A drive root is never removed; a folder one level below it is.
        {L"droot", L"", L"D:\\", L"1", L"", L"3", {{L"D:\\tw-rf-root-marker.txt", "m"}},
         {{L"D:\\tw-rf-root-marker.txt", "m"}}, L"row droot: D: is a root and is never removed"},
        {L"below", L"", second / L"below-root", L"1", L"", L"3", {{second / L"below-root\\y.txt", "y"}},
         {{second / L"below-root", kAbsent}}},
        // A false condition: nobody removes the file (left in RemoveFile, this row would
        // have the installer remove it itself).
        {L"cond", L"cond.txt", root / L"cond", L"1", L"NOT Installed AND 1 = 0", L"0", {{root / L"cond\\cond.txt", "c"}},
         {{root / L"cond\\cond.txt", "c"}}, L"row cond skipped:"},
        // Install mode 2 acts at uninstall only.
        {L"later", L"later.txt", root / L"later", L"2", L"", L"0", {{root / L"later\\later.txt", "l"}},
         {{root / L"later\\later.txt", "l"}}},
        {L"unset", L"", L"", L"1", L"", L"3", {}, {}, L"row unset skipped: folder property 'P_unset' is not set"},
    };

    Package package(L"remove-permanent");
    package.component(L"Main").property(L"DISABLEROLLBACK", L"1");
    for (const auto& c : cases) {
        layDown(c.before);
        package.property(L"P_" + c.key, c.folder)
            .rows(L"RemoveFile", {{c.key, L"Main", c.fileName, L"P_" + c.key, c.mode}})
            .rows(L"VU_RemoveFile", {{c.key, c.condition, c.options}});
    }
    SetFileAttributesW((root / L"tree\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    addRemoveFilesActions(package);

    const RunResult install = package.install();
    ASSERT_EQ(0u, install.code);
    EXPECT_TRUE(install.logHas(L"OnVuRemoveFilesImmediate: scheduled VU_VuRemoveFilesDeferred_Permanent"));
    EXPECT_FALSE(install.logHas(L"scheduled VU_VuRemoveFilesDeferred_Undoable"));
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.key));
        expectStates(c.after);
        if (!c.log.empty()) {
            EXPECT_TRUE(install.logHas(c.log)) << toUtf8(c.log);
        }
    }

    const RunResult uninstall = package.uninstall(L"DISABLEROLLBACK=1");
    ASSERT_EQ(0u, uninstall.code);
    EXPECT_FALSE(exists(root / L"later\\later.txt"));
    DeleteFileW(L"D:\\tw-rf-root-marker.txt");
}

TEST(RemoveFilesPermanent, PackageWithoutTheCustomTableInstalls) {
    Package package(L"remove-no-table");
    package.component(L"Main").property(L"DISABLEROLLBACK", L"1");
    addRemoveFilesActions(package);
    const RunResult result = package.install();
    EXPECT_EQ(0u, result.code);
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesImmediate: table VU_RemoveFile is absent"));
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesImmediate: no row taken: nothing scheduled"));
    EXPECT_FALSE(result.logHas(L"OnVuRemoveFilesPermanent:")) << "no action runs for an empty work list";
}

TEST(RemoveFilesUndoable, ImmediateFailsWhenThePackageLacksTheCommitAction) {
    Package package(L"remove-no-commit");
    package.expectFinding(L"missing-scheduled-action");
    // A taken row, so that there is something to schedule (the folder need not exist).
    package.component(L"Main")
        .property(L"TW_NOCOMMIT", L"C:\\tw-rf-no-commit")
        .rows(L"RemoveFile", {{L"rf1", L"Main", L"", L"TW_NOCOMMIT", L"1"}})
        .rows(L"VU_RemoveFile", {{L"rf1", L"", L"0"}});
    addRemoveFilesActions(package).withoutAction(L"VU_VuRemoveFilesCommit");
    const RunResult result = package.install();
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), result.code);
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesImmediate: could not schedule VU_VuRemoveFilesCommit"));
}

namespace {

// Items on the system drive, a second drive and the network drive, with names that a
// command script must quote and encode right.
struct UndoableFixture {
    TestFolder c{L"C:\\tw-rf-undo"};
    TestFolder d{L"D:\\tw-rf-undo"};
    TestFolder n{L"N:\\tw-rf-undo"};
    const std::wstring oddFile = L"a b & (c) 'd' \u00e9\u00fc.txt";
    const std::wstring oddFolder = L"Dossier & (\u00e9) 'x'";

    UndoableFixture() {
        for (const auto* folder : {&c, &d, &n}) {
            writeFile(*folder / oddFile, "odd");
            writeFile(*folder / (oddFolder + L"\\inner \u00df.txt"), "inner");
            writeFile(*folder / (oddFolder + L"\\sub\\hidden.txt"), "hidden");
            SetFileAttributesW((*folder / (oddFolder + L"\\sub\\hidden.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN);
            writeFile(*folder / L"ro.dat", "read-only");
            SetFileAttributesW((*folder / L"ro.dat").c_str(), FILE_ATTRIBUTE_READONLY);
            writeFile(*folder / L"stays.txt", "stays");
        }
    }

    void addRows(Package& package) {
        std::vector<Row> removeRows, extendRows;
        for (const auto& [drive, folder] : {std::pair{L"C", &c}, std::pair{L"D", &d}, std::pair{L"N", &n}}) {
            const std::wstring property = std::wstring(L"DIR_") + drive;
            package.property(property, folder->path());
            package.property(property + L"_ODD", *folder / oddFolder);
            for (const auto& [key, fileName, folderProperty, options] :
                 {std::tuple{L"file", oddFile, property, L"0"}, std::tuple{L"ro", std::wstring(L"RO~1|ro.dat"), property, L"0"},
                  std::tuple{L"tree", std::wstring(), property + L"_ODD", L"3"}}) {
                removeRows.push_back({std::wstring(drive) + key, L"Main", fileName, folderProperty, L"1"});
                extendRows.push_back({std::wstring(drive) + key, L"", options});
            }
        }
        package.component(L"Main").rows(L"RemoveFile", removeRows).rows(L"VU_RemoveFile", extendRows);
        addRemoveFilesActions(package);
    }
};

}  // namespace

TEST(RemoveFilesUndoable, CommitRemovesForGoodAndLeavesNoStoreOrJournal) {
    UndoableFixture fixture;
    Package package(L"remove-undo-commit");
    fixture.addRows(package);
    const RunResult result = package.install();
    ASSERT_EQ(0u, result.code);
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesImmediate: scheduled VU_VuRemoveFilesDeferred_Undoable"));
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesCommit: deleting 9 removed items for good"));
    EXPECT_EQ(Names{L"stays.txt"}, listTree(fixture.c.path()));
    EXPECT_EQ(Names{L"stays.txt"}, listTree(fixture.d.path()));
    EXPECT_EQ(Names{L"stays.txt"}, listTree(fixture.n.path())) << "network items go through the user's script";
    EXPECT_EQ(Names{}, recycleBins());
    EXPECT_FALSE(exists(journalPath(package.productCode())));
    EXPECT_FALSE(exists(writeAheadFile(journalPath(package.productCode()))));
}

TEST(RemoveFilesUndoable, RollbackPutsEverythingBackWithContentAndAttributes) {
    UndoableFixture fixture;
    const Names before = listTree(fixture.c.path());
    ASSERT_EQ(7u, before.size());
    Package package(L"remove-undo-rollback");
    fixture.addRows(package);
    package.failAt(6500);
    const RunResult result = package.install();
    ASSERT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), result.code);
    // The journal has the installation's own name, in the library's own folder.
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesUndoable: journal " + journalPath(package.productCode()) + L" written"));
    EXPECT_TRUE(result.logHas(L"OnVuUndoRemoveFiles: putting back 9 removed items"));
    for (const auto* folder : {&fixture.c, &fixture.d, &fixture.n}) {
        SCOPED_TRACE(folder->path());
        EXPECT_EQ(before, listTree(folder->path()));
        EXPECT_EQ("odd", readFile(*folder / fixture.oddFile));
        EXPECT_EQ("inner", readFile(*folder / (fixture.oddFolder + L"\\inner \u00df.txt")));
        EXPECT_EQ("read-only", readFile(*folder / L"ro.dat"));
        EXPECT_TRUE(attributesOf(*folder / L"ro.dat") & FILE_ATTRIBUTE_READONLY);
        EXPECT_TRUE(attributesOf(*folder / (fixture.oddFolder + L"\\sub\\hidden.txt")) & FILE_ATTRIBUTE_HIDDEN);
    }
    EXPECT_EQ(Names{}, recycleBins());
    EXPECT_FALSE(exists(journalPath(package.productCode())));
}
