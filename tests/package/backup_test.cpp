// Persistent-data backup in real installations: files, folder trees (local and on the
// network drive) and registry keys backed up at installation, changed, and restored at
// uninstallation; backups discarded by the clean-up and by a rollback; row conditions.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "backup_file.h"
#include "common/text.h"
#include "common/unique_any.h"
#include "undo/undo_transaction.h"
#include "package.h"
#include "test_fs.h"

using namespace tidewell::test;

namespace {

using Names = std::vector<std::wstring>;

const std::wstring kTestKey = L"Software\\TidewellBackupTest";
const std::wstring kStoreKey = L"Software\\VU_RecycleBin";

// The paths a backup file records, or nullopt when it is not a journal this library reads.
std::optional<Names> backedUpPaths(const std::wstring& backupFile) {
    const std::string content = readFile(backupFile);
    tidewell::UndoTransaction transaction(nullptr, nullptr, L"");
    const bool read = transaction.readJournal(std::vector<unsigned char>(content.begin(), content.end()));
    Names paths;
    for (const auto& entry : transaction.fileStores())
        for (const auto& item : entry.second->storedOf()) paths.push_back(item.first);
    for (const auto& entry : transaction.registryStores())
        for (const auto& item : entry.second->storedOf()) paths.push_back(item.first);
    transaction.keep();  // reading it here must not delete the copies
    if (!read) return std::nullopt;
    std::sort(paths.begin(), paths.end());
    return paths;
}

struct RegistryItem {
    const wchar_t* row;
    const wchar_t* type;
    const wchar_t* path;  // as the row writes it
    HKEY root;
    std::wstring key;
};

// A file, a folder tree, the same on the network drive, and four registry keys written
// with root numbers -1 (ALLUSERS unset), 1 and 2, and with a long root name.
struct PersistentFixture {
    TestFolder local{L"C:\\tw-backup"};
    TestFolder network{L"N:\\tw-backup"};
    std::vector<RegistryItem> keys{
        {L"regMinus1", L"2", L"-1\\Software\\TidewellBackupTest\\Minus1", HKEY_CURRENT_USER, kTestKey + L"\\Minus1"},
        {L"reg1", L"2", L"1\\Software\\TidewellBackupTest\\One", HKEY_CURRENT_USER, kTestKey + L"\\One"},
        {L"reg2", L"2", L"2/Software\\TidewellBackupTest\\Two", HKEY_LOCAL_MACHINE, kTestKey + L"\\Two"},
        {L"regLong", L"0", L"HKEY_LOCAL_MACHINE\\Software\\TidewellBackupTest\\Long", HKEY_LOCAL_MACHINE,
         kTestKey + L"\\Long"},
    };

    PersistentFixture() {
        clearRegistry();
        for (const auto* folder : {&local, &network}) {
            writeFile(*folder / L"settings.ini", "old settings");
            writeFile(*folder / L"tree\\a.txt", "a");
            writeFile(*folder / L"tree\\sub\\s.txt", "s");
        }
        for (const auto& key : keys) {
            regSetString(key.root, key.key, L"a", L"1");
            regSetString(key.root, key.key, L"b", L"2");
            regSetString(key.root, key.key + L"\\sub", L"c", L"3");
        }
    }
    ~PersistentFixture() { clearRegistry(); }

    static void clearRegistry() {
        regDeleteTree(HKEY_CURRENT_USER, kTestKey);
        regDeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
        regDeleteTree(HKEY_CURRENT_USER, kStoreKey);
    }

    // Rows with Path written through properties, as an installer author would.
    std::vector<Row> rows() const {
        std::vector<Row> result{
            {L"settings", L"0", L"1", L"[TWLOCAL]\\settings.ini"},
            {L"tree", L"0", L"1", L"[TWLOCAL]\\tree"},
            {L"netSettings", L"0", L"1", L"[TWNET]\\settings.ini"},
            {L"netTree", L"", L"1", L"[TWNET]\\tree\\"},
        };
        for (const auto& key : keys) result.push_back({key.row, key.type, L"1", key.path});
        return result;
    }
    void properties(Package& package) const {
        package.property(L"TWLOCAL", local.path()).property(L"TWNET", network.path());
    }

    Names expectedPaths() const {
        Names paths{local / L"settings.ini", local / L"tree", network / L"settings.ini", network / L"tree",
                    L"HKEY_CURRENT_USER\\" + kTestKey + L"\\Minus1", L"HKEY_CURRENT_USER\\" + kTestKey + L"\\One",
                    L"HKEY_LOCAL_MACHINE\\" + kTestKey + L"\\Two", L"HKEY_LOCAL_MACHINE\\" + kTestKey + L"\\Long"};
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    void change() const {
        for (const auto* folder : {&local, &network}) {
            writeFile(*folder / L"settings.ini", "new settings");
            writeFile(*folder / L"tree\\a.txt", "changed");
            removeTree(*folder / L"tree\\sub");
            writeFile(*folder / L"tree\\added.txt", "added");
        }
        for (const auto& key : keys) {
            regSetString(key.root, key.key, L"a", L"changed");
            tidewell::unique_hkey handle;
            ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key.root, key.key.c_str(), 0, KEY_ALL_ACCESS | kLibraryView, handle.put()));
            RegDeleteValueW(handle.get(), L"b");
            regDeleteTree(key.root, key.key + L"\\sub");
            regSetString(key.root, key.key, L"added", L"x");
        }
    }

    // Saved contents are back, entries of the same name replaced; what was added stays.
    void expectRestored() const {
        for (const auto* folder : {&local, &network}) {
            SCOPED_TRACE(folder->path());
            EXPECT_EQ("old settings", readFile(*folder / L"settings.ini"));
            EXPECT_EQ((Names{L"a.txt", L"added.txt", L"sub\\", L"sub\\s.txt"}), listTree(*folder / L"tree"));
            EXPECT_EQ("a", readFile(*folder / L"tree\\a.txt"));
            EXPECT_EQ("s", readFile(*folder / L"tree\\sub\\s.txt"));
        }
        for (const auto& key : keys) {
            SCOPED_TRACE(key.path);
            EXPECT_EQ(L"1", regGetString(key.root, key.key, L"a"));
            EXPECT_EQ(L"2", regGetString(key.root, key.key, L"b"));
            EXPECT_EQ(L"3", regGetString(key.root, key.key + L"\\sub", L"c"));
            EXPECT_EQ(L"x", regGetString(key.root, key.key, L"added"));
        }
    }

    void expectUntouched() const {
        for (const auto* folder : {&local, &network}) {
            EXPECT_EQ((Names{L"settings.ini", L"tree\\", L"tree\\a.txt", L"tree\\sub\\", L"tree\\sub\\s.txt"}),
                      listTree(folder->path()));
            EXPECT_EQ("old settings", readFile(*folder / L"settings.ini"));
        }
        for (const auto& key : keys) {
            EXPECT_EQ(L"1", regGetString(key.root, key.key, L"a")) << key.path;
            EXPECT_EQ(L"3", regGetString(key.root, key.key + L"\\sub", L"c")) << key.path;
        }
    }
};

// No copy is left: no store folder on any drive, no store key, no backup file.
void expectNoCopies(const Package& package) {
    EXPECT_EQ(Names{}, recycleBins());
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kStoreKey));
    EXPECT_FALSE(exists(backupFilePath(package.productCode())));
}

}  // namespace

TEST(Backup, ImmediateBackupAtInstallationIsRestoredAtUninstallation) {
    PersistentFixture fixture;
    Package package(L"backup-immediate");
    package.component(L"Main").rows(L"VU_PersistentData", fixture.rows());
    fixture.properties(package);
    package.withKit()
        .kitSequence(L"VU_BackupImmediate")
        .kitSequence(L"VU_RestoreImmediate", L"REMOVE~=\"ALL\"");

    const RunResult install = package.install();
    ASSERT_EQ(0u, install.code);
    EXPECT_TRUE(install.logHas(L"OnVuBackupImmediate: row settings: backed up " + fixture.local / L"settings.ini"));
    EXPECT_TRUE(install.logHas(L"OnVuBackupImmediate: row regMinus1: root number of -1\\Software"));
    const std::wstring backupFile = backupFilePath(package.productCode());
    EXPECT_TRUE(install.logHas(L"OnVuBackupImmediate: backup file " + backupFile + L" written: 8 items"));
    EXPECT_EQ(fixture.expectedPaths(), backedUpPaths(backupFile)) << "the backup file is the stores' journal";
    EXPECT_TRUE(regKeyExists(HKEY_CURRENT_USER, kStoreKey)) << "the key copies wait in the registry store";
    fixture.expectUntouched();

    fixture.change();
    const RunResult uninstall = package.uninstall();
    ASSERT_EQ(0u, uninstall.code);
    EXPECT_TRUE(uninstall.logHas(L"OnVuRestoreDeferred: restoring 8 items from " + backupFile));
    EXPECT_TRUE(uninstall.logHas(L"OnVuRestoreDeferred: restored HKEY_CURRENT_USER\\" + kTestKey + L"\\Minus1"));
    EXPECT_TRUE(uninstall.logHas(L"OnVuRestoreDeferred: backup file " + backupFile + L" removed"));
    fixture.expectRestored();
    expectNoCopies(package);
}

TEST(Backup, DeferredBackupFromAPackageWrittenWorkList) {
    PersistentFixture fixture;
    Package package(L"backup-deferred");
    fixture.properties(package);
    // The package writes the list itself: the rows' four fields, a record of three
    // fields that the library skips, and the property group.
    std::wstring workList;
    for (const auto& row : fixture.rows())
        workList += row[0] + L'\x01' + row[1] + L'\x01' + row[2] + L'\x01' + row[3] + L'\x02';
    workList += L"short\x01" L"0\x01" L"C:\\tw-backup\\settings.ini\x03" L"ALLUSERS\x01";
    package.component(L"Main").customAction(L"TW_WriteBackupList", 51, L"VU_BackupDeferred", workList);
    package.withKit()
        .sequence(L"TW_WriteBackupList", 1450, L"NOT REMOVE~=\"ALL\"")
        .sequence(L"VU_BackupDeferred", 1502, L"NOT REMOVE~=\"ALL\"")
        .kitSequence(L"VU_RestoreImmediate", L"REMOVE~=\"ALL\"");

    const RunResult install = package.install();
    ASSERT_EQ(0u, install.code);
    EXPECT_TRUE(install.logHas(L"OnVuBackupDeferred: work list record 9 skipped: it has 3 fields, not 4"));
    EXPECT_EQ(fixture.expectedPaths(), backedUpPaths(backupFilePath(package.productCode())));

    fixture.change();
    ASSERT_EQ(0u, package.uninstall().code);
    fixture.expectRestored();
    expectNoCopies(package);
}

TEST(Backup, CleanupDiscardsAndALaterRestoreRestoresNothing) {
    PersistentFixture fixture;
    Package package(L"backup-cleanup");
    package.component(L"Main").rows(L"VU_PersistentData", fixture.rows());
    fixture.properties(package);
    package.withKit()
        .kitSequence(L"VU_BackupImmediate")
        .kitSequence(L"VU_RestoreImmediate", L"REMOVE~=\"ALL\"")
        .kitSequence(L"VU_BackupCleanup", L"NOT REMOVE~=\"ALL\"");

    const RunResult install = package.install();
    ASSERT_EQ(0u, install.code);
    EXPECT_TRUE(install.logHas(L"OnVuBackupCleanup: discarding the backup " +
                               backupFilePath(package.productCode()) + L": 8 copies"));
    fixture.expectUntouched();
    expectNoCopies(package);

    fixture.change();
    const RunResult uninstall = package.uninstall();
    ASSERT_EQ(0u, uninstall.code);
    EXPECT_TRUE(uninstall.logHas(L"OnVuRestoreDeferred: no backup of this product"));
    EXPECT_EQ("new settings", readFile(fixture.local / L"settings.ini"));
    EXPECT_EQ(L"changed", regGetString(HKEY_CURRENT_USER, kTestKey + L"\\One", L"a"));
}

TEST(Backup, RollbackOfAFailedInstallationDiscards) {
    PersistentFixture fixture;
    Package package(L"backup-rollback");
    package.component(L"Main").rows(L"VU_PersistentData", fixture.rows());
    fixture.properties(package);
    package.withKit()
        .kitSequence(L"VU_BackupImmediate")
        .kitSequence(L"VU_BackupRollback")
        .failAt(6500);

    const RunResult install = package.install();
    ASSERT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), install.code);
    EXPECT_TRUE(install.logHas(L"OnVuBackupImmediate: backup file "));
    EXPECT_TRUE(install.logHas(L"OnVuBackupRollback: discarding the backup "));
    fixture.expectUntouched();
    expectNoCopies(package);
}

TEST(Backup, OnlyRowsWhoseConditionIsTrueAreBackedUp) {
    TestFolder folder(L"C:\\tw-backup-conditions");
    for (const auto* name : {L"empty.txt", L"false.txt", L"invalid.txt", L"one.txt"})
        writeFile(folder / name, "x");
    PersistentFixture::clearRegistry();

    Package package(L"backup-conditions");
    package.expectFinding(L"condition-syntax");  // the row "invalid" on purpose
    package.component(L"Main").property(L"TWDIR", folder.path());
    package.rows(L"VU_PersistentData", {{L"empty", L"0", L"", L"[TWDIR]\\empty.txt"},
                                        {L"false", L"0", L"TWDIR = \"elsewhere\"", L"[TWDIR]\\false.txt"},
                                        {L"invalid", L"0", L"((", L"[TWDIR]\\invalid.txt"},
                                        {L"one", L"0", L"1", L"[TWDIR]\\one.txt"}});
    package.withKit()
        .kitSequence(L"VU_BackupImmediate")
        .kitSequence(L"VU_BackupCleanup", L"REMOVE~=\"ALL\"");
    const RunResult install = package.install();
    ASSERT_EQ(0u, install.code);
    EXPECT_TRUE(install.logHas(L"OnVuBackupImmediate: row empty skipped: condition is empty"));
    EXPECT_TRUE(install.logHas(L"OnVuBackupImmediate: row false skipped: condition 'TWDIR = \"elsewhere\"' is false"));
    EXPECT_TRUE(install.logHas(L"OnVuBackupImmediate: row invalid skipped: condition '((' is not valid"));
    EXPECT_TRUE(install.logHas(L"OnVuBackupImmediate: row one taken: condition '1' is true"));
    EXPECT_EQ(Names{folder / L"one.txt"}, backedUpPaths(backupFilePath(package.productCode())));
    ASSERT_EQ(0u, package.uninstall().code);
    expectNoCopies(package);

    // Not one row selected: nothing is copied and no backup file is written.
    Package none(L"backup-conditions-none");
    none.component(L"Main").property(L"TWDIR", folder.path());
    none.rows(L"VU_PersistentData", {{L"empty", L"0", L"", L"[TWDIR]\\empty.txt"},
                                     {L"false", L"0", L"1 = 0", L"[TWDIR]\\false.txt"}});
    none.withKit().kitSequence(L"VU_BackupImmediate");
    const RunResult noRows = none.install();
    ASSERT_EQ(0u, noRows.code);
    EXPECT_TRUE(noRows.logHas(L"OnVuBackupImmediate: nothing to back up: no backup file is written"));
    EXPECT_FALSE(exists(backupFilePath(none.productCode())));
    expectNoCopies(none);
}

// Registry links are never followed by the backup or its restore, planted in a key any
// account can write: a backed-up key whose path leads through a link is not backed up, a
// link inside a backed-up key is left out, and at restore a link put where a saved subkey
// goes, or in place of a saved key, receives nothing. The links' target is untouched and
// the log names each case.
TEST(Backup, RegistryLinksAreNeverFollowedByTheBackupOrItsRestore) {
    PersistentFixture::clearRegistry();
    const std::wstring open = kTestKey + L"\\Open", target = kTestKey + L"Target";
    const std::wstring links[] = {open + L"\\link", open + L"\\Data\\inside", open + L"\\Data\\Sub", open + L"\\Whole"};
    const auto clear = [&] {
        for (const auto& link : links) regDeleteLink(HKEY_CURRENT_USER, link);
        regDeleteTree(HKEY_CURRENT_USER, target);
        PersistentFixture::clearRegistry();
    };
    clear();
    regSetString(HKEY_CURRENT_USER, target, L"keep", L"1");
    regSetString(HKEY_CURRENT_USER, target + L"\\Inner", L"deep", L"2");
    regSetString(HKEY_CURRENT_USER, open + L"\\Data", L"a", L"1");
    regSetString(HKEY_CURRENT_USER, open + L"\\Data\\Sub", L"s", L"1");
    regSetString(HKEY_CURRENT_USER, open + L"\\Whole", L"w", L"1");
    ASSERT_TRUE(regLetEveryoneWrite(HKEY_CURRENT_USER, open));
    ASSERT_TRUE(regMakeLink(HKEY_CURRENT_USER, links[0], regUserNativePath(target)));
    ASSERT_TRUE(regMakeLink(HKEY_CURRENT_USER, links[1], regUserNativePath(target)));
    const std::wstring cu = L"HKEY_CURRENT_USER\\";
    Package package(L"backup-registry-links");
    package.component(L"Main")
        .rows(L"VU_PersistentData", {{L"onTheWay", L"0", L"1", cu + links[0] + L"\\Inner"},
                                     {L"data", L"0", L"1", cu + open + L"\\Data"},
                                     {L"whole", L"0", L"1", cu + open + L"\\Whole"}})
        .withKit()
        .kitSequence(L"VU_BackupImmediate")
        .kitSequence(L"VU_RestoreImmediate", L"REMOVE~=\"ALL\"");
    const RunResult install = package.install();
    ASSERT_EQ(0u, install.code);
    EXPECT_TRUE(install.logHas(L"registry item " + cu + links[0] + L"\\Inner not copied: " + cu + links[0] +
                               L" is a registry link (error 1921)"));
    EXPECT_TRUE(install.logHas(L"row onTheWay: " + cu + links[0] + L"\\Inner not backed up: it is a link"));
    EXPECT_TRUE(install.logHas(L"registry item " + cu + open + L"\\Data: 1 registry links inside it were left out"));
    EXPECT_EQ((Names{cu + open + L"\\Data", cu + open + L"\\Whole"}), backedUpPaths(backupFilePath(package.productCode())));

    // Before the restore, links take the places of a saved subkey and of a saved key.
    regDeleteTree(HKEY_CURRENT_USER, open + L"\\Data\\Sub");
    regDeleteTree(HKEY_CURRENT_USER, open + L"\\Whole");
    ASSERT_TRUE(regMakeLink(HKEY_CURRENT_USER, links[2], regUserNativePath(target)));
    ASSERT_TRUE(regMakeLink(HKEY_CURRENT_USER, links[3], regUserNativePath(target)));
    regSetString(HKEY_CURRENT_USER, open + L"\\Data", L"a", L"changed");
    const RunResult uninstall = package.uninstall();
    ASSERT_EQ(0u, uninstall.code);
    EXPECT_TRUE(uninstall.logHas(L"could not restore " + cu + open + L"\\Data completely (error 1921); the copy stays in"));
    EXPECT_TRUE(uninstall.logHas(L"could not restore " + cu + links[3] + L": " + cu + links[3] +
                                 L" is a registry link (error 1921); the copy stays in"));
    EXPECT_EQ(L"1", regGetString(HKEY_CURRENT_USER, open + L"\\Data", L"a")) << "the key's own values came back";
    EXPECT_EQ(L"1", regGetString(HKEY_CURRENT_USER, target, L"keep"));
    EXPECT_EQ(L"2", regGetString(HKEY_CURRENT_USER, target + L"\\Inner", L"deep"));
    for (const wchar_t* value : {L"s", L"w", L"a"})
        EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, target, value)) << "written into the links' target: " << tidewell::toUtf8(value);
    DeleteFileW(backupFilePath(package.productCode()).c_str());
    clear();
}
