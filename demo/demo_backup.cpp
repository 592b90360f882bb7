// Persistent data across an upgrade: the new version's installation backs up the user's
// settings file, profile folder and registry key, removes the old version's data (as
// removing the old product would), and restores the copies once its own files are in.
#include <windows.h>

#include "backup_actions.h"
#include "demo.h"
#include "test_fs.h"

namespace tidewell::demo {
namespace {

const std::wstring kKey = L"Software\\TidewellDemoBackup";

void showKey(const std::wstring& label) {
    say(label + L" HKCU\\" + kKey + L":");
    if (!test::regKeyExists(HKEY_CURRENT_USER, kKey)) {
        say(L"    (key does not exist)");
        return;
    }
    for (const auto* name : {L"Theme", L"LastUser"})
        say(std::wstring(L"    ") + name + L" = " + test::regGetString(HKEY_CURRENT_USER, kKey, name));
}

void run() {
    test::TestFolder folder(L"D:\\Demo App");
    test::writeFile(folder / L"settings.ini", "theme=dark");
    test::writeFile(folder / L"Profiles\\ada\\prefs.txt", "font=large");
    test::regDeleteTree(HKEY_CURRENT_USER, kKey);
    test::regSetString(HKEY_CURRENT_USER, kKey, L"Theme", L"dark");
    test::regSetString(HKEY_CURRENT_USER, kKey, L"LastUser", L"ada");

    test::Package package(L"demo-backup");
    package.component(L"Main")
        .property(L"APPDIR", folder.path())
        .property(L"ADADIR", folder / L"Profiles\\ada")
        .rows(L"VU_PersistentData", {{L"settings", L"0", L"1", L"[APPDIR]\\settings.ini"},
                                     {L"profiles", L"0", L"1", L"[APPDIR]\\Profiles"},
                                     {L"userKey", L"2", L"1", L"-1\\" + kKey}})
        // What the old version's removal would take: Windows Installer's own tables.
        .rows(L"RemoveFile", {{L"oldSettings", L"Main", L"settings.ini", L"APPDIR", L"1"},
                              {L"oldPrefs", L"Main", L"prefs.txt", L"ADADIR", L"1"}})
        .rows(L"RemoveRegistry", {{L"oldKey", L"1", kKey, L"-", L"Main"}});
    test::addBackupActions(package)
        .sequence(L"VU_BackupImmediate", test::kBackupImmediateSequence, L"NOT REMOVE~=\"ALL\"")
        .sequence(L"VU_BackupRollback", test::kBackupRollbackSequence, L"NOT REMOVE~=\"ALL\"")
        .sequence(L"VU_RestoreImmediate", test::kRestoreSequence, L"NOT REMOVE~=\"ALL\"")
        .sequence(L"VU_BackupCleanup", test::kBackupCleanupSequence);
    say(L"Rows: back up settings.ini, the Profiles folder and HKCU\\" + kKey +
        L" (Type 2, root -1, ALLUSERS unset); the installation's RemoveFile and RemoveRegistry rows then delete them.");
    showTree(L"Before:", folder.path());
    showKey(L"Before");
    const auto result = package.install();
    showLibraryLog(L"Upgrade installation", result);
    showTree(L"After:", folder.path());
    const std::string settings = test::readFile(folder / L"settings.ini");
    say(L"settings.ini holds: " + std::wstring(settings.begin(), settings.end()));
    showKey(L"After");
    say(L"VU_RecycleBin folders left: " + std::to_wstring(test::recycleBins().size()) + L"; store key left: " +
        (test::regKeyExists(HKEY_CURRENT_USER, L"Software\\VU_RecycleBin") ? L"yes" : L"no") +
        L"; backup file left: " + (test::exists(test::backupFilePath(package.productCode())) ? L"yes" : L"no"));
    package.uninstall();
    test::regDeleteTree(HKEY_CURRENT_USER, kKey);
}

const Register registration({60, "Persistent data: backup, removal by the upgrade, restore", run});

}  // namespace
}  // namespace tidewell::demo
