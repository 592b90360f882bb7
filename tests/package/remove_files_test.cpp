// File removal in real installations: VU_RemoveFile rows removed for good, undoably with
// commit, and put back by a rollback.
#include <gtest/gtest.h>

#include "package.h"
#include "removal_actions.h"
#include "test_fs.h"

using namespace tidewell::test;

namespace {

using Names = std::vector<std::wstring>;

// A pattern folder: matching files and folders (empty and not), and ones that do not match.
void fillPatternFolder(const std::wstring& folder) {
    writeFile(folder + L"\\a.log", "a");
    writeFile(folder + L"\\b.txt", "b");
    CreateDirectoryW((folder + L"\\empty.log").c_str(), nullptr);
    writeFile(folder + L"\\full.log\\inner.txt", "i");
    writeFile(folder + L"\\keep\\c.log", "c");
}

}  // namespace

TEST(RemoveFilesPermanent, FoldersPatternsOptionsConditionsAndInstallModes) {
    TestFolder root(L"C:\\tw-rf-perm");
    TestFolder second(L"D:\\tw-rf-perm");
    writeFile(root / L"tree\\sub\\deep\\x.txt", "x");
    writeFile(root / L"tree\\readonly.txt", "r");
    SetFileAttributesW((root / L"tree\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    for (int option = 0; option <= 3; ++option) fillPatternFolder(root / (L"pat" + std::to_wstring(option)));
    for (int option = 0; option <= 2; ++option) {
        CreateDirectoryW((root / (L"empty" + std::to_wstring(option))).c_str(), nullptr);
        writeFile(root / (L"full" + std::to_wstring(option) + L"\\f.txt"), "f");
    }
    writeFile(L"D:\\tw-rf-root-marker.txt", "m");
    writeFile(second / L"below-root\\y.txt", "y");
    writeFile(root / L"cond\\cond.txt", "c");
    writeFile(root / L"later\\later.txt", "l");

    Package package(L"remove-permanent");
    package.component(L"Main").property(L"DISABLEROLLBACK", L"1").property(L"DROOT", L"D:\\");
    std::vector<Row> removeRows, extendRows;
    auto row = [&](const std::wstring& key, const std::wstring& fileName, const std::wstring& folder,
                   const std::wstring& mode, const std::wstring& condition, const std::wstring& options) {
        const std::wstring property = L"P_" + key;
        if (!folder.empty()) package.property(property, folder);
        removeRows.push_back({key, L"Main", fileName, property, mode});
        extendRows.push_back({key, condition, options});
    };
    row(L"tree", L"", root / L"tree", L"1", L"", L"3");
    for (int option = 0; option <= 3; ++option)
        row(L"pat" + std::to_wstring(option), L"LOGS~1|*.log", root / (L"pat" + std::to_wstring(option)), L"1", L"",
            std::to_wstring(option));
    for (int option = 0; option <= 2; ++option) {
        row(L"empty" + std::to_wstring(option), L"", root / (L"empty" + std::to_wstring(option)), L"1", L"",
            std::to_wstring(option));
        row(L"full" + std::to_wstring(option), L"", root / (L"full" + std::to_wstring(option)), L"1", L"",
            std::to_wstring(option));
    }
    removeRows.push_back({L"droot", L"Main", L"", L"DROOT", L"1"});
    extendRows.push_back({L"droot", L"", L"3"});
    row(L"below", L"", second / L"below-root", L"1", L"", L"3");
    // Left in RemoveFile, this row would have the installer remove cond.txt itself.
    row(L"cond", L"cond.txt", root / L"cond", L"1", L"NOT Installed AND 1 = 0", L"0");
    row(L"later", L"later.txt", root / L"later", L"2", L"", L"0");
    row(L"unset", L"", L"", L"1", L"", L"3");
    package.rows(L"RemoveFile", removeRows).rows(L"VU_RemoveFile", extendRows);
    addRemoveFilesActions(package);

    const RunResult install = package.install();
    ASSERT_EQ(0u, install.code);
    EXPECT_TRUE(install.logHas(L"OnVuRemoveFilesImmediate: scheduled VU_VuRemoveFilesDeferred_Permanent"));
    EXPECT_FALSE(install.logHas(L"scheduled VU_VuRemoveFilesDeferred_Undoable"));

    EXPECT_FALSE(exists(root / L"tree")) << "a folder row with options 3 removes the whole tree";
    const Names patternCases[] = {
        {L"b.txt", L"empty.log\\", L"full.log\\", L"full.log\\inner.txt", L"keep\\", L"keep\\c.log"},
        {L"b.txt", L"full.log\\", L"full.log\\inner.txt", L"keep\\", L"keep\\c.log"},
        {L"b.txt", L"empty.log\\", L"keep\\", L"keep\\c.log"},
        {L"b.txt", L"keep\\", L"keep\\c.log"},
    };
    for (int option = 0; option <= 3; ++option)
        EXPECT_EQ(patternCases[option], listTree(root / (L"pat" + std::to_wstring(option)))) << "options " << option;
    for (int option = 0; option <= 2; ++option) {
        EXPECT_FALSE(exists(root / (L"empty" + std::to_wstring(option)))) << "options " << option;
        EXPECT_EQ(Names{L"f.txt"}, listTree(root / (L"full" + std::to_wstring(option)))) << "options " << option;
    }
    EXPECT_EQ("m", readFile(L"D:\\tw-rf-root-marker.txt")) << "a drive root is never removed";
    EXPECT_TRUE(install.logHas(L"row droot: D: is a root and is never removed"));
    EXPECT_FALSE(exists(second / L"below-root")) << "a folder one level below the root is removed";
    EXPECT_EQ("c", readFile(root / L"cond\\cond.txt")) << "false condition: nobody removes the file";
    EXPECT_TRUE(install.logHas(L"row cond skipped:"));
    EXPECT_EQ("l", readFile(root / L"later\\later.txt")) << "install mode 2 acts at uninstall only";
    EXPECT_TRUE(install.logHas(L"row unset skipped: folder property 'P_unset' is not set"));

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
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesImmediate: scheduled VU_VuRemoveFilesDeferred_Permanent"));
}

TEST(RemoveFilesUndoable, ImmediateFailsWhenThePackageLacksTheCommitAction) {
    Package package(L"remove-no-commit");
    package.component(L"Main");
    addRemoveFilesActions(package, false);
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
    DeleteFileW(journalPath().c_str());
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
    EXPECT_FALSE(exists(journalPath()));
}

TEST(RemoveFilesUndoable, RollbackPutsEverythingBackWithContentAndAttributes) {
    UndoableFixture fixture;
    DeleteFileW(journalPath().c_str());
    const Names before = listTree(fixture.c.path());
    ASSERT_EQ(7u, before.size());
    Package package(L"remove-undo-rollback");
    fixture.addRows(package);
    package.failAt(6500);
    const RunResult result = package.install();
    ASSERT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), result.code);
    EXPECT_TRUE(result.logHas(L"OnVuRemoveFilesUndoable: journal "));
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
    EXPECT_FALSE(exists(journalPath()));
}
