// Stores, journals and write-ahead records are made with an explicit protected DACL, and
// what a user could plant in their place is refused. Wine does not enforce ACLs: the
// tests read back the DACL that was set, and check the refusals.
#include <gtest/gtest.h>

#include <aclapi.h>

#include "common/text.h"
#include "common/unique_any.h"
#include "undo/journal_folder.h"
#include "undo/undo_transaction.h"
#include "win/paths.h"
#include "win/protected_security.h"
#include "test_fs.h"
#include "log_lines.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

// The SIDs the DACL grants to, and whether it is protected from inheritance.
struct Dacl {
    std::vector<SidBytes> granted;
    bool isProtected = false;
};

Dacl daclOf(PSECURITY_DESCRIPTOR descriptor) {
    Dacl result;
    PACL acl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) || !present) return result;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    result.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, static_cast<ACE_HEADER*>(ace)->AceFlags & 0x0F);
        EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_ALL_ACCESS), static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask);
        const PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        const auto* bytes = static_cast<const unsigned char*>(sid);
        result.granted.emplace_back(bytes, bytes + GetLengthSid(sid));
    }
    return result;
}

// Gives the path another owner; false where the file system cannot keep it.
bool setOwner(const std::wstring& path, WELL_KNOWN_SID_TYPE type) {
    SidBytes owner = wellKnownSid(type);
    if (SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                              owner.data(), nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    PSID now = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &now, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const unique_hlocal held(descriptor);
    return EqualSid(now, owner.data()) != FALSE;
}

bool trustedWriters(const std::wstring& path) {
    const unique_hfile opened(CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                          nullptr));
    return opened && onlyTrustedCanWrite(opened.get());
}

// Changes the path's Unix mode (which Wine reads its access from) and waits until its
// DACL says that only trusted accounts can write, or not, as wanted.
bool changeWriters(const std::wstring& path, const std::string& change, bool onlyTrusted) {
    if (!changeUnixMode(path, change)) return false;
    for (int round = 0; round < 500; ++round) {
        if (trustedWriters(path) == onlyTrusted) return true;
        Sleep(10);
    }
    return false;
}

bool letEveryoneWrite(const std::wstring& path) { return changeWriters(path, "o+w", false); }

}  // namespace

// What Wine reports for the library's own folders and files lets only this account
// write; once every account may write (the mode Wine reads access from), that is seen.
TEST(StoreProtection, WhatEveryAccountCanWriteIsSeen) {
    TestFolder folder(L"C:\\tw-protect-writers");
    writeFile(folder / L"file.tmp", "f");
    for (const auto& path : {folder.path(), folder / L"file.tmp"}) {
        SCOPED_TRACE(toUtf8(path));
        EXPECT_TRUE(trustedWriters(path));
        ASSERT_TRUE(letEveryoneWrite(path));
        EXPECT_FALSE(trustedWriters(path));
    }
}

// Wine keeps a file's security descriptor only where the file system takes extended
// attributes (not here): what is checked is the descriptor the library creates its
// stores, journals and records with.
TEST(StoreProtection, StoresAndJournalsAreMadeWithTheProtectedDacl) {
    ProtectedSecurity security;
    ASSERT_NE(nullptr, security.attributes());
    EXPECT_FALSE(security.attributes()->bInheritHandle);
    const Dacl dacl = daclOf(security.attributes()->lpSecurityDescriptor);
    EXPECT_TRUE(dacl.isProtected) << "nothing inherited from a folder a user could change";
    // The tests run as a user, as an impersonating action does: that account is granted too.
    const std::vector<SidBytes> expected{wellKnownSid(WinLocalSystemSid), wellKnownSid(WinBuiltinAdministratorsSid),
                                         currentAccountSid()};
    EXPECT_EQ(expected, dacl.granted);
}

TEST(StoreProtection, PlantedStoreBasesAndJournalsAreRefused) {
    TestFolder folder(L"C:\\tw-protect");
    TestFolder elsewhere(L"C:\\tw-protect-elsewhere");
    writeFile(folder / L"x.txt", "x");
    for (const auto& bin : recycleBins()) removeTree(bin);
    const std::wstring temporaryBase = tempFolder() + L"VU_RecycleBin";
    removeTree(temporaryBase);

    // A store base that is a link, and one owned by another account: the store goes to
    // the temporary folder, and the log says which.
    const struct {
        const char* what;
        bool link;
        const wchar_t* logged;
        bool everyoneWrites;
    } bases[] = {{"a link", true, L"refused: it is a link", false},
                 {"someone else's", false, L"refused: another account owns it", false},
                 {"one every account can write", false, L"refused: accounts other than SYSTEM, Administrators and this one can change it", true}};
    for (const auto& base : bases) {
        SCOPED_TRACE(base.what);
        if (base.link) {
            ASSERT_TRUE(makeUnixLink(L"C:\\VU_RecycleBin", elsewhere.path()));
        } else if (base.everyoneWrites) {
            makeFolder(L"C:\\VU_RecycleBin");
            ASSERT_TRUE(letEveryoneWrite(L"C:\\VU_RecycleBin"));
        } else {
            makeFolder(L"C:\\VU_RecycleBin");
            if (!setOwner(L"C:\\VU_RecycleBin", WinWorldSid)) {
                removeTree(L"C:\\VU_RecycleBin");
                continue;  // Wine here cannot keep another owner (see above)
            }
        }
        Lines log;
        {
            UndoTransaction transaction(nullptr, &log, folder / L"journal.tmp");
            ASSERT_TRUE(transaction.take(folder / L"x.txt"));
            EXPECT_TRUE(transaction.fileStores().at(L"C:\\")->recordedLocation().rfind(temporaryBase, 0) == 0);
            EXPECT_TRUE(transaction.restoreAll());
        }
        EXPECT_TRUE(log.has(base.logged));
        EXPECT_EQ("x", readFile(folder / L"x.txt"));
        EXPECT_EQ(std::vector<std::wstring>{}, listTree(elsewhere.path())) << "nothing went through the link";
        removeTree(L"C:\\VU_RecycleBin");
    }

    // Journals that are a link or have an untrusted owner are not read and not deleted;
    // nor is one that is open elsewhere without sharing.
    const std::wstring journal = folder / L"journal.tmp";
    writeFile(elsewhere / L"target.tmp", "not a journal");
    enum class Plant { Link, Owner, Locked, EveryoneWrites };
    for (const Plant plant : {Plant::Link, Plant::Owner, Plant::Locked, Plant::EveryoneWrites}) {
        SCOPED_TRACE(static_cast<int>(plant));
        unique_hfile lock;
        if (plant == Plant::Link) {
            ASSERT_TRUE(makeUnixLink(journal, elsewhere / L"target.tmp"));
        } else {
            writeFile(journal, "planted");
            if (plant == Plant::Owner && !setOwner(journal, WinWorldSid)) {
                removeTree(journal);
                continue;  // Wine here cannot keep another owner
            }
            if (plant == Plant::Locked) lock.reset(CreateFileW(journal.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            if (plant == Plant::EveryoneWrites) {
                ASSERT_TRUE(letEveryoneWrite(journal));
            }
        }
        Lines log;
        {
            UndoTransaction undo(nullptr, &log, journal);
            EXPECT_FALSE(undo.loadJournal());
        }
        EXPECT_TRUE(log.has(L"is not read and is left in place"));
        EXPECT_TRUE(exists(journal));
        EXPECT_EQ("not a journal", readFile(elsewhere / L"target.tmp"));
        lock.reset();
        if (plant == Plant::Link) removeUnixLink(journal);
        else removeTree(journal);
    }
}

// A journal names its store: a store folder that every account can change by now (a user
// could have put anything there) is not used, and nothing is put back from it until only
// trusted accounts can change it again.
TEST(StoreProtection, AStoreThatOtherAccountsCanChangeIsNotUsed) {
    TestFolder folder(L"C:\\tw-protect-store");
    writeFile(folder / L"x.txt", "x");
    for (const auto& bin : recycleBins()) removeTree(bin);
    const std::wstring journal = folder / L"journal.tmp";
    std::wstring location;
    {
        UndoTransaction transaction(nullptr, nullptr, journal);
        ASSERT_TRUE(transaction.take(folder / L"x.txt"));
        location = transaction.fileStores().at(L"C:\\")->recordedLocation();
        ASSERT_TRUE(transaction.saveJournal());
        transaction.keep();
    }
    ASSERT_FALSE(exists(folder / L"x.txt"));
    ASSERT_TRUE(letEveryoneWrite(location));
    Lines log;
    {
        UndoTransaction undo(nullptr, &log, journal);
        EXPECT_FALSE(undo.loadJournal());
    }
    EXPECT_TRUE(log.has(L"the store " + location + L" is not used: "));
    EXPECT_FALSE(exists(folder / L"x.txt"));
    EXPECT_TRUE(exists(journal)) << "the journal stays for the next run";

    ASSERT_TRUE(changeWriters(location, "o-w", true));
    {
        UndoTransaction undo(nullptr, nullptr, journal);
        ASSERT_TRUE(undo.loadJournal());
        EXPECT_TRUE(undo.restoreAll());
    }
    EXPECT_EQ("x", readFile(folder / L"x.txt"));
    EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
}

TEST(StoreProtection, ThePathBackedUpTwiceIsOneItemAndComesBack) {
    TestFolder folder(L"C:\\tw-twice");
    writeFile(folder / L"a.ini", "saved");
    const std::wstring backupFile = folder / L"backup.bak";
    {
        UndoTransaction backup(nullptr, nullptr, backupFile);
        ASSERT_TRUE(backup.keepCopy(folder / L"a.ini").whole());
        ASSERT_TRUE(backup.keepCopy(folder / L"a.ini").whole());
        EXPECT_EQ(1u, backup.itemCount());
        ASSERT_TRUE(backup.saveJournal());
        backup.keep();
    }
    writeFile(folder / L"a.ini", "changed");
    Lines log;
    {
        UndoTransaction restore(nullptr, &log, backupFile);
        ASSERT_TRUE(restore.loadJournal()) << "the journal is consistent";
        restore.setRestoreTarget(RestoreTarget::Replace);
        EXPECT_TRUE(restore.restoreAll());
    }
    EXPECT_EQ("saved", readFile(folder / L"a.ini"));
    // The copy put back takes what its folder hands down (Wine keeps no descriptor on
    // this file system, so only the call's success is seen here).
    EXPECT_FALSE(log.has(L"could not be reset to what its folder hands down"));
}

// Each installation's journal has a name of its own in the library's journal folder; a
// journal folder that other accounts can change is not used.
TEST(StoreProtection, TheJournalFolderIsUsedOnlyWhileItIsTheLibrarysOwn) {
    const std::wstring folder = journalFolderPath();
    const std::wstring product = L"{0D0C0000-0000-4000-8000-00000000F01D}";
    Lines log;
    EXPECT_EQ(folder + L"VUBB_" + product + L".tmp", journalFor(product, &log));
    const std::wstring bare = folder.substr(0, folder.size() - 1);
    ASSERT_TRUE(letEveryoneWrite(bare));
    EXPECT_EQ(tempFolder() + L"VUBB_" + product + L".tmp", journalFor(product, &log));
    EXPECT_TRUE(log.has(L"journal folder " + bare + L" not used: it is not the library's own"));
    ASSERT_TRUE(changeWriters(bare, "o-w", true));
    EXPECT_EQ(folder + L"VUBB_" + product + L".tmp", journalFor(product, nullptr));
}
