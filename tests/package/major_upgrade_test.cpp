// A real major upgrade: version 1 deletes its data folder when it is uninstalled; version 2
// backs the user's data up, removes version 1 inside its own installation
// (RemoveExistingProducts after InstallInitialize), then restores it. The data comes back
// in place with every folder level.
#include <gtest/gtest.h>

#include "package.h"
#include "test_fs.h"

using namespace tidewell::test;

TEST(MajorUpgrade, BackedUpDataComesBackInPlaceWithEveryFolderLevel) {
    TestFolder data(L"C:\\tw-upgrade-data");
    writeFile(data / L"profiles\\default\\prefs.js", "prefs");
    writeFile(data / L"profiles\\default\\deep\\cache.bin", "cache");
    writeFile(data / L"profiles\\other.ini", "other");
    writeFile(data / L"settings.ini", "settings");
    writeFile(data / L"scratch.tmp", "scratch");  // not backed up: goes with version 1
    const std::wstring upgradeCode = newGuid();

    Package version1(L"upgrade-v1");
    version1.property(L"UpgradeCode", upgradeCode).property(L"DATA", data.path()).component(L"Main");
    version1.rows(L"RemoveFile", {{L"data", L"Main", L"", L"DATA", L"2"}})
        .rows(L"VU_RemoveFile", {{L"data", L"", L"3"}})
        .withKit()
        .kitSequence(L"VU_UndoRemoveFiles")
        .kitSequence(L"VU_RemoveFilesImmediate");
    ASSERT_EQ(0u, version1.install().code);
    ASSERT_TRUE(exists(data / L"settings.ini"));

    Package version2(L"upgrade-v2");
    version2.property(L"UpgradeCode", upgradeCode)
        .property(L"ProductVersion", L"2.0.0")
        .property(L"DATA", data.path())
        .component(L"Main");
    version2.rows(L"Upgrade", {{upgradeCode, L"1.0.0", L"2.0.0", L"", L"256", L"", L"OLDVERSION"}})
        .rows(L"VU_PersistentData", {{L"profiles", L"0", L"OLDVERSION", L"[DATA]\\profiles"},
                                     {L"settings", L"0", L"OLDVERSION", L"[DATA]\\settings.ini"}})
        .sequence(L"FindRelatedProducts", 200)
        .sequence(L"RemoveExistingProducts", 1510)
        .withKit()
        .kitSequence(L"VU_BackupImmediate")
        .kitSequence(L"VU_RestoreImmediate", L"OLDVERSION");
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
