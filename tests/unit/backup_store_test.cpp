// The backup store's pure parts: the rewriting of Type 2 paths, the backup file's name,
// the work list, and the journal of a registry store with key copies.
#include <gtest/gtest.h>

#include <cstdint>

#include "backup/persistent_data_backup.h"
#include "msi/action_log.h"
#include "backup/registry_root.h"
#include "win/paths.h"
#include "undo/undo_transaction.h"
#include "journal_bytes.h"
#include "test_fs.h"

using namespace tidewell;
using tidewell::test::Bytes;

TEST(RegistryRoot, OnlyTheLeadingNumberIsRewritten) {
    const struct {
        const wchar_t* path;
        const wchar_t* allUsers;
        const wchar_t* expected;
    } cases[] = {
        {L"-1\\Software\\X", L"1", L"HKEY_LOCAL_MACHINE\\Software\\X"},
        {L"-1\\Software\\X", L"", L"HKEY_CURRENT_USER\\Software\\X"},
        {L"-1\\Software\\X", L"2", L"HKEY_CURRENT_USER\\Software\\X"},
        // Later components that read like the number are key names, not roots.
        {L"2\\Software\\App2\\2", L"", L"HKEY_LOCAL_MACHINE\\Software\\App2\\2"},
        {L"1\\Software\\Vendor\\1.0", L"", L"HKEY_CURRENT_USER\\Software\\Vendor\\1.0"},
        {L"1\\Software\\App 1", L"", L"HKEY_CURRENT_USER\\Software\\App 1"},
        {L"9\\Software\\X", L"", L"HKEY_LOCAL_MACHINE\\Software\\X"},
        {L"0/CLSID\\x", L"", L"HKEY_CLASSES_ROOT/CLSID\\x"},
        {L"3\\.DEFAULT", L"", L"HKEY_USERS\\.DEFAULT"},
        {L"Software", L"", L"Software"},
        {L"\\Software\\X", L"", L"\\Software\\X"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, rewriteRegistryRoot(c.path, c.allUsers)) << c.path;
}

TEST(BackupFile, NameIsTheCleanedProductCode) {
    EXPECT_EQ(L"VuBack_ABC_DEF.bak", backupFileName(L"{ABC-DEF}"));
    EXPECT_EQ(L"VuBack_12345678_ABCD_EF01_2345_6789ABCDEF01.bak",
              backupFileName(L"{12345678-ABCD-EF01-2345-6789ABCDEF01}"));
    EXPECT_EQ(L"VuBack_A{B}C.bak", backupFileName(L"{{A{B}C}}")) << "braces inside the code stay";
    EXPECT_EQ(L"VuBack_.bak", backupFileName(L""));
    EXPECT_EQ(L"VuBack_.._.._x.bak", backupFileName(L"..\\../x")) << "no code can lead the file elsewhere";
}

TEST(PersistentDataBackup, WorkListKeepsFourFieldRecordsInOrder) {
    const ActionLog log(0, L"test");
    PersistentDataBackup backup(log);
    ActionData list(L"a\x01" L"2\x01" L"1\x01" L"1\\Software\\A\x02"
                    L"three\x01" L"0\x01" L"1\x02"
                    L"b\x01" L" 7x\x01\x01" L"C:\\b\x02"
                    L"five\x01" L"0\x01" L"1\x01" L"C:\\f\x01" L"extra\x03"
                    L"ALLUSERS\x01" L"1");
    list.parse();
    backup.load(list);
    ASSERT_EQ(2u, backup.items().size());
    EXPECT_EQ(L"a", backup.items()[0].persistentRow);
    EXPECT_EQ(2, backup.items()[0].type);
    EXPECT_EQ(L"1\\Software\\A", backup.items()[0].path);
    EXPECT_EQ(L"b", backup.items()[1].persistentRow);
    EXPECT_EQ(7, backup.items()[1].type);
    EXPECT_EQ(L"", backup.items()[1].condition);
    EXPECT_EQ(L"1", backup.allUsers());

    // The property group alone (no row was selected): no items, and no backup file.
    DeleteFileW(backup.backupFile().c_str());
    ActionData none(L"ALLUSERS\x01" L"1");
    none.parse();
    backup.load(none);
    EXPECT_TRUE(backup.items().empty());
    EXPECT_EQ(L"", backup.allUsers());
    backup.backUp();
    EXPECT_FALSE(test::exists(backup.backupFile()));
}

namespace {

// No file store; the registry store with one key copy recorded as the given copy key.
std::vector<unsigned char> registryJournal(const std::wstring& path, const std::wstring& copy) {
    const std::wstring folder = L"HKEY_CURRENT_USER\\Software\\VU_RecycleBin\\{11111111-2222-3333-4444-55555555AAAA}";
    Bytes b;
    b.u32(0).u32(1).str(L"HKCU").u32(10).u16(1).u16(1);
    b.u32(1).str(path).str(folder + copy);
    b.u32(1).str(folder + copy).str(path);
    b.u32(1).str(folder).u16(1);
    return b.v;
}

}  // namespace

TEST(PersistentDataBackup, JournalTakesRegistryCopyKeysOfTheStoreShapeOnly) {
    const std::wstring key = L"HKEY_CURRENT_USER\\Software\\App";
    const struct {
        const char* what;
        std::wstring path, copy;
        bool sound;
    } cases[] = {
        {"a copy key: number and leaf", key, L"\\0\\App", true},
        {"a number without the leaf", key, L"\\0", false},
        {"a leaf one level too deep", key, L"\\0\\App\\x", false},
        {"a number beyond the counter", key, L"\\1\\App", false},
        {"an item that is no registry key", L"C:\\App", L"\\0\\App", false},
    };
    for (const auto& c : cases) {
        UndoTransaction transaction(nullptr, nullptr, L"");
        EXPECT_EQ(c.sound, transaction.readJournal(registryJournal(c.path, c.copy))) << c.what;
        transaction.keep();  // the store key above does not exist
    }
}

// A registry path with an empty component is not backed up (an unset property at its end
// would otherwise back up, and later restore, the key above); a sound one is.
TEST(PersistentDataBackup, RegistryPathsWithAnEmptyComponentAreNotBackedUp) {
    const std::wstring base = L"Software\\TidewellBackupPaths";
    test::regSetString(HKEY_CURRENT_USER, base + L"\\Sub", L"v", L"x");
    const ActionLog log(0, L"test");
    PersistentDataBackup backup(log);
    backup.take({{L"trailing", 0, L"", L"HKEY_CURRENT_USER\\" + base + L"\\"},
                 {L"doubled", 0, L"", L"HKEY_CURRENT_USER\\" + base + L"\\\\Sub"},
                 {L"number", 2, L"", L"1\\" + base + L"\\"},
                 {L"sound", 0, L"", L"HKEY_CURRENT_USER\\" + base + L"\\Sub"}},
                L"");
    backup.backUp();
    const std::string content = test::readFile(backup.backupFile());
    UndoTransaction transaction(nullptr, nullptr, L"");
    ASSERT_TRUE(transaction.readJournal(std::vector<unsigned char>(content.begin(), content.end())));
    std::vector<std::wstring> paths;
    for (const auto& entry : transaction.registryStores())
        for (const auto& item : entry.second->storedOf()) paths.push_back(item.first);
    transaction.keep();
    EXPECT_EQ(std::vector<std::wstring>{L"HKEY_CURRENT_USER\\" + base + L"\\Sub"}, paths);
    backup.discard();
    test::regDeleteTree(HKEY_CURRENT_USER, base);
}
