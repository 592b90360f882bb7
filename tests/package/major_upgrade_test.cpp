// A real major upgrade: version 1 deletes its data folder when it is uninstalled; version 2
// backs the user's data up, removes version 1 inside its own installation
// (RemoveExistingProducts after InstallInitialize), then restores it. The data comes back
// in place with every folder level.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include "common/text.h"
#include "backup_file.h"
#include "package.h"
#include "scoped_variable.h"
#include "test_fs.h"

using namespace tidewell::test;
using tidewell::toUtf8;

namespace {

// Version 1: removes its data folder with everything in it when it is uninstalled.
void versionOne(Package& version1, const std::wstring& upgradeCode, const std::wstring& data) {
    version1.property(L"UpgradeCode", upgradeCode).property(L"DATA", data).component(L"Main");
    version1.rows(L"RemoveFile", {{L"data", L"Main", L"", L"DATA", L"2"}})
        .rows(L"VU_RemoveFile", {{L"data", L"", L"3"}})
        .withKit()
        .kitSequence(L"VU_UndoRemoveFiles")
        .kitSequence(L"VU_RemoveFilesImmediate");
}

// Version 2: finds version 1, backs up the rows, removes version 1 after InstallInitialize
// and restores the rows.
Package& versionTwo(Package& version2, const std::wstring& upgradeCode, const std::wstring& data,
                    const std::vector<Row>& persistentRows) {
    version2.property(L"UpgradeCode", upgradeCode)
        .property(L"ProductVersion", L"2.0.0")
        .property(L"DATA", data)
        .component(L"Main");
    return version2.rows(L"Upgrade", {{upgradeCode, L"1.0.0", L"2.0.0", L"", L"256", L"", L"OLDVERSION"}})
        .rows(L"VU_PersistentData", persistentRows)
        .sequence(L"FindRelatedProducts", 200)
        .sequence(L"RemoveExistingProducts", 1510)
        .withKit()
        .kitSequence(L"VU_BackupImmediate")
        .kitSequence(L"VU_RestoreImmediate", L"OLDVERSION");
}

}  // namespace

TEST(MajorUpgrade, BackedUpDataComesBackInPlaceWithEveryFolderLevel) {
    TestFolder data(L"C:\\tw-upgrade-data");
    writeFile(data / L"profiles\\default\\prefs.js", "prefs");
    writeFile(data / L"profiles\\default\\deep\\cache.bin", "cache");
    writeFile(data / L"profiles\\other.ini", "other");
    writeFile(data / L"settings.ini", "settings");
    writeFile(data / L"scratch.tmp", "scratch");  // not backed up: goes with version 1
    const std::wstring upgradeCode = newGuid();

    Package version1(L"upgrade-v1");
    versionOne(version1, upgradeCode, data.path());
    ASSERT_EQ(0u, version1.install().code);
    ASSERT_TRUE(exists(data / L"settings.ini"));

    Package version2(L"upgrade-v2");
    versionTwo(version2, upgradeCode, data.path(),
               {{L"profiles", L"0", L"OLDVERSION", L"[DATA]\\profiles"},
                {L"settings", L"0", L"OLDVERSION", L"[DATA]\\settings.ini"}});
    const RunResult upgrade = version2.install();
    ASSERT_EQ(0u, upgrade.code);
    EXPECT_TRUE(upgrade.logHas(L"OnVuBackupImmediate: row profiles: backed up " + data / L"profiles"));
    EXPECT_TRUE(upgrade.logHas(L"OnVuRestoreDeferred: restored " + data / L"profiles"));

    EXPECT_EQ((std::vector<std::wstring>{L"profiles\\", L"profiles\\default\\", L"profiles\\default\\deep\\",
                                         L"profiles\\default\\deep\\cache.bin", L"profiles\\default\\prefs.js",
                                         L"profiles\\other.ini", L"settings.ini"}),
              listTree(data.path()))
        << "version 1 took the folder; the backup put back each level of it";
    EXPECT_EQ("prefs", readFile(data / L"profiles\\default\\prefs.js"));
    EXPECT_EQ("settings", readFile(data / L"settings.ini"));
    EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
}

// The same upgrade on a drive without room for a second copy: the backup's first copy
// fails with ERROR_DISK_FULL (and every one after it), so the backup fails the upgrade
// before anything is removed. Version 1 stays installed and the data stays as it was.
TEST(MajorUpgrade, ABackupThatCannotBeMadeStopsTheUpgradeAndTheDataStays) {
    TestFolder data(L"C:\\tw-upgrade-full");
    const std::vector<std::pair<std::wstring, std::string>> files{
        {L"profiles\\default\\prefs.js", "prefs"},
        {L"profiles\\default\\deep\\cache.bin", std::string(70000, 'c')},
        {L"settings.ini", "settings"}};
    for (const auto& [name, content] : files) writeFile(data / name, content);
    const auto before = listTree(data.path());
    const std::wstring upgradeCode = newGuid();

    Package version1(L"upgrade-full-v1");
    versionOne(version1, upgradeCode, data.path());
    ASSERT_EQ(0u, version1.install().code);

    Package version2(L"upgrade-full-v2");
    versionTwo(version2, upgradeCode, data.path(),
               {{L"settings", L"0", L"OLDVERSION", L"[DATA]\\settings.ini"},
                {L"profiles", L"0", L"OLDVERSION", L"[DATA]\\profiles"}})
        .library(L"TidewellFaults.dll");
    RunResult upgrade;
    {
        // The second file copy and every one after it: settings.ini is copied first.
        const ScopedVariable fault(L"TIDEWELL_TEST_FAULT", L"copy,2,disk-full,on");
        upgrade = version2.install();
    }
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), upgrade.code);
    EXPECT_TRUE(upgrade.logHas(L"OnVuBackupImmediate: row settings: backed up " + data / L"settings.ini"));
    EXPECT_TRUE(upgrade.logHas(L"OnVuBackupImmediate: row profiles: could not back up " + data / L"profiles" +
                               L" (error 112)"));
    EXPECT_TRUE(upgrade.logHas(L"OnVuBackupImmediate: the backup failed: its copies are deleted"));
    EXPECT_FALSE(upgrade.logHas(L"OnVuRestoreDeferred")) << "nothing ran after the backup";

    EXPECT_EQ(INSTALLSTATE_DEFAULT, MsiQueryProductStateW(version1.productCode().c_str())) << "version 1 stays";
    EXPECT_NE(INSTALLSTATE_DEFAULT, MsiQueryProductStateW(version2.productCode().c_str()));
    EXPECT_EQ(before, listTree(data.path()));
    for (const auto& [name, content] : files) EXPECT_EQ(content, readFile(data / name)) << toUtf8(name);
    EXPECT_FALSE(exists(backupFilePath(version2.productCode()))) << "no backup file is written";
    EXPECT_EQ(std::vector<std::wstring>{}, recycleBins()) << "the copy of settings.ini is deleted again";
}
