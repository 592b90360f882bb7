// Rows that name one item, in every feature, one real installation per case: two rows,
// or two spellings of one path (letter case, an 8.3 short name, a trailing backslash,
// another property). The item is backed up and restored, removed, moved or copied once,
// each later row says so in one line, and the installation succeeds.
#include <gtest/gtest.h>

#include <functional>

#include "backup_file.h"
#include "common/text.h"
#include "common/unique_any.h"
#include "package.h"
#include "path_states.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

// The parts of one log line, each found in it with the case ignored.
using LineParts = std::vector<std::wstring>;

std::wstring folded(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// How many of the run's information messages hold every part.
size_t linesWith(const RunResult& run, const LineParts& parts) {
    size_t count = 0;
    for (const auto& message : run.messages) {
        if (message.type != INSTALLMESSAGE_INFO) continue;
        const std::wstring text = folded(message.text);
        bool all = true;
        for (const auto& part : parts) all = all && text.find(folded(part)) != std::wstring::npos;
        if (all) ++count;
    }
    return count;
}

void expectOnce(const RunResult& run, const std::vector<LineParts>& lines) {
    for (const auto& parts : lines) {
        std::wstring shown;
        for (const auto& part : parts) shown += part + L" ... ";
        EXPECT_EQ(1u, linesWith(run, parts)) << toUtf8(shown);
    }
}

// The line of a row that names the item of an earlier one.
LineParts duplicate(const std::wstring& action, const std::wstring& row, const std::wstring& path,
                    const std::wstring& first, const std::wstring& verb) {
    return {action + L": row " + row + L": " + path + L" is row " + first + L"'s item too: it is " + verb + L" once"};
}

std::wstring shortPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

const std::wstring kRegistryBase = L"Software\\TidewellTest\\Duplicates";

// A key (value nullptr) or value under HKEY_CURRENT_USER.
struct RegEntry {
    std::wstring key;
    const wchar_t* value = nullptr;
};

bool present(const RegEntry& entry) {
    return entry.value ? regValueExists(HKEY_CURRENT_USER, entry.key, entry.value)
                       : regKeyExists(HKEY_CURRENT_USER, entry.key);
}

}  // namespace

TEST(DuplicateRows, OneItemNamedTwiceIsActedOnOnceAndTheInstallationSucceeds) {
    TestFolder root(L"C:\\tw-dup");
    regDeleteTree(HKEY_CURRENT_USER, kRegistryBase);
    // Folders whose 8.3 names the rows use, made before the names are asked for.
    const std::wstring data = root / L"backup\\data", folder = root / L"backup\\Data Folder",
                       logs = root / L"remove\\Log Files", sources = root / L"move\\Source Files";
    for (const auto& made : {data, folder, logs, sources}) makeFolder(made);
    const std::wstring shortFolder = shortPath(folder), shortLogs = shortPath(logs), shortSources = shortPath(sources);
    ASSERT_NE(folder, shortFolder) << "the platform gives these folders 8.3 names";
    ASSERT_FALSE(shortLogs.empty());
    ASSERT_FALSE(shortSources.empty());

    const std::wstring settings = data + L"\\settings.ini";
    const std::wstring folderInCaps = L"C:\\TW-DUP\\BACKUP\\DATA FOLDER";
    const std::wstring logsInCaps = L"C:\\TW-DUP\\REMOVE\\LOG FILES\\";
    const std::wstring cache = root / L"remove\\cache";
    const std::wstring moved = root / L"move\\moved", copies = root / L"move\\copies";
    const std::wstring tree = kRegistryBase + L"\\Tree", values = kRegistryBase + L"\\Values";

    const auto backupSequence = [](Package& package) {
        package.withKit()
            .sequence(L"VU_BackupImmediate", 1450, L"NOT Installed")
            .kitSequence(L"VU_RestoreImmediate", L"REMOVE=\"ALL\"");
    };
    struct Case {
        const wchar_t* name;
        std::vector<PathState> before = {};
        std::vector<RegEntry> registry = {};  // written before the installation
        std::function<void(Package&)> author;  // rows, properties and sequence
        std::vector<LineParts> once;            // at installation, each exactly once
        std::vector<PathState> installed = {};
        std::vector<RegEntry> gone = {}, stays = {};
        // Backups: what an upgrade would change after the installation, and what the
        // restore at uninstallation puts back.
        std::vector<PathState> changed = {}, restored = {};
        std::vector<LineParts> onceAtUninstall = {};
    };
    const Case cases[] = {
        // The reported package: two rows, one file, backed up at 1450 under NOT Installed.
        {.name = L"backup-file",
         .before = {{settings, "old settings"}},
         .author =
             [&](Package& package) {
                 package.property(L"DATADIR", data + L"\\")
                     .rows(L"VU_PersistentData", {{L"one", L"0", L"1", L"[DATADIR]settings.ini"},
                                                  {L"two", L"0", L"1", L"[DATADIR]settings.ini"}});
                 backupSequence(package);
             },
         .once = {{L"OnVuBackupImmediate: row one: backed up " + settings},
                  duplicate(L"OnVuBackupImmediate", L"two", settings, L"one", L"backed up"),
                  {L"OnVuBackupImmediate: backup file ", L" written: 1 items"}},
         .installed = {{settings, "old settings"}},
         .changed = {{settings, "new settings"}},
         .restored = {{settings, "old settings"}},
         .onceAtUninstall = {{L"OnVuRestoreDeferred: restoring 1 items from "},
                             {L"OnVuRestoreDeferred: restored " + settings}}},
        // One folder through three properties: as written, in capitals with a trailing
        // backslash, and by its 8.3 name.
        {.name = L"backup-folder",
         .before = {{folder + L"\\a.txt", "a"}, {folder + L"\\sub\\b.txt", "b"}},
         .author =
             [&](Package& package) {
                 package.property(L"FOLDER_LONG", folder)
                     .property(L"FOLDER_CAPS", folderInCaps + L"\\")
                     .property(L"FOLDER_SHORT", shortFolder)
                     .rows(L"VU_PersistentData", {{L"folder1", L"0", L"1", L"[FOLDER_LONG]"},
                                                  {L"folder2", L"0", L"1", L"[FOLDER_CAPS]"},
                                                  {L"folder3", L"0", L"1", L"[FOLDER_SHORT]"}});
                 backupSequence(package);
             },
         .once = {duplicate(L"OnVuBackupImmediate", L"folder2", folderInCaps, L"folder1", L"backed up"),
                  duplicate(L"OnVuBackupImmediate", L"folder3", shortFolder, L"folder1", L"backed up"),
                  {L"OnVuBackupImmediate: ", L": backed up "},
                  {L"OnVuBackupImmediate: backup file ", L" written: 1 items"}},
         .installed = {{folder + L"\\a.txt", "a"}, {folder + L"\\sub\\b.txt", "b"}},
         .changed = {{folder + L"\\a.txt", "changed"}, {folder + L"\\sub", kAbsent}, {folder + L"\\added.txt", "new"}},
         .restored = {{folder + L"\\a.txt", "a"}, {folder + L"\\sub\\b.txt", "b"}, {folder + L"\\added.txt", "new"}},
         .onceAtUninstall = {{L"OnVuRestoreDeferred: restoring 1 items from "}, {L"OnVuRestoreDeferred: restored "}}},
        // A pattern in one folder three times (the third row names the first, not the
        // second), and a whole folder twice.
        {.name = L"remove-files",
         .before = {{logs + L"\\a.log", "a"}, {logs + L"\\b.log", "b"}, {logs + L"\\keep.txt", "k"},
                    {cache + L"\\c.dat", "c"}, {root / L"remove\\other\\d.log", "d"}},
         .author =
             [&](Package& package) {
                 package.property(L"RF_ONE", logs)
                     .property(L"RF_TWO", logsInCaps)
                     .property(L"RF_THREE", shortLogs)
                     .property(L"RC_ONE", cache)
                     .property(L"RC_TWO", L"c:\\TW-DUP\\remove\\CACHE\\")
                     .rows(L"RemoveFile", {{L"rcOne", L"Main", L"", L"RC_ONE", L"1"},
                                           {L"rcTwo", L"Main", L"", L"RC_TWO", L"1"},
                                           {L"rfOne", L"Main", L"*.log", L"RF_ONE", L"1"},
                                           {L"rfThree", L"Main", L"LOGS~1|*.LOG", L"RF_THREE", L"1"},
                                           {L"rfTwo", L"Main", L"*.log", L"RF_TWO", L"1"}})
                     .rows(L"VU_RemoveFile", {{L"rcOne", L"", L"3"}, {L"rcTwo", L"", L"3"}, {L"rfOne", L"", L"0"},
                                              {L"rfThree", L"", L"0"}, {L"rfTwo", L"", L"0"}})
                     .withKit()
                     .kitSequence(L"VU_UndoRemoveFiles")
                     .kitSequence(L"VU_RemoveFilesImmediate");
             },
         .once = {duplicate(L"OnVuRemoveFilesUndoable", L"rcTwo", L"c:\\TW-DUP\\remove\\CACHE", L"rcOne", L"removed"),
                  duplicate(L"OnVuRemoveFilesUndoable", L"rfThree", shortLogs + L"\\*.LOG", L"rfOne", L"removed"),
                  duplicate(L"OnVuRemoveFilesUndoable", L"rfTwo", logsInCaps + L"*.log", L"rfOne", L"removed"),
                  {L"OnVuRemoveFilesUndoable: row ", L": removed ", L"\\a.log"},
                  {L"OnVuRemoveFilesUndoable: row ", L": removed ", L"\\b.log"},
                  {L"OnVuRemoveFilesUndoable: row ", L": removed ", L"\\cache with its content"},
                  {L"OnVuRemoveFilesUndoable: journal ", L" written: 3 items can be undone"}},
         .installed = {{logs + L"\\a.log", kAbsent}, {logs + L"\\b.log", kAbsent}, {logs + L"\\keep.txt", "k"},
                       {cache, kAbsent}, {root / L"remove\\other\\d.log", "d"}}},
        // A move and a copy, each planned by two rows that spell source and destination
        // apart.
        {.name = L"move-files",
         .before = {{sources + L"\\data.txt", "data"}, {sources + L"\\notes.txt", "notes"},
                    {sources + L"\\other.txt", "other"}},
         .author =
             [&](Package& package) {
                 package.property(L"SRC_ONE", sources)
                     .property(L"SRC_TWO", L"C:\\TW-DUP\\MOVE\\SOURCE FILES\\")
                     .property(L"SRC_SHORT", shortSources)
                     .property(L"MOVED_ONE", moved + L"\\")
                     .property(L"MOVED_TWO", L"c:\\TW-DUP\\Move\\MOVED\\")
                     .property(L"COPIES", copies + L"\\")
                     .rows(L"MoveFile", {{L"cpOne", L"Main", L"notes.txt", L"", L"SRC_ONE", L"COPIES", L"0"},
                                         {L"cpTwo", L"Main", L"NOTES.TXT", L"", L"SRC_SHORT", L"COPIES", L"0"},
                                         {L"mvOne", L"Main", L"data.txt", L"", L"SRC_ONE", L"MOVED_ONE", L"1"},
                                         {L"mvTwo", L"Main", L"data.txt", L"", L"SRC_TWO", L"MOVED_TWO", L"1"}})
                     .rows(L"VU_MoveFile", {{L"cpOne", L"", L"0"}, {L"cpTwo", L"", L"0"}, {L"mvOne", L"", L"0"},
                                            {L"mvTwo", L"", L"0"}})
                     .withKit()
                     .sequence(L"VU_MoveFilesImmediate", 1700);
             },
         .once = {{L"OnVuMoveFilesImmediate: row cpTwo: ", L" is row cpOne's item too: it is copied once"},
                  {L"OnVuMoveFilesImmediate: row mvTwo: ", L" is row mvOne's item too: it is moved once"},
                  {L"OnVuMoveFilesImmediate: row ", L": planned copy: "},
                  {L"OnVuMoveFilesImmediate: row ", L": planned move: "},
                  {L"OnVuMoveFilesImmediate: planned 2 file operation(s)"}},
         .installed = {{copies + L"\\notes.txt", "notes"}, {sources + L"\\notes.txt", "notes"},
                       {moved + L"\\data.txt", "data"}, {sources + L"\\data.txt", kAbsent},
                       {sources + L"\\other.txt", "other"}}},
        // A key by root 1 and by root -1 (HKEY_CURRENT_USER without ALLUSERS) in other
        // letter case, and one value twice.
        {.name = L"remove-registry",
         .registry = {{tree + L"\\Sub", L"v"}, {values, L"Setting"}, {values, L"Other"}, {kRegistryBase + L"\\Kept", L"k"}},
         .author =
             [&](Package& package) {
                 package.rows(L"RemoveRegistry", {{L"rgOne", L"1", tree, L"-", L"Main"},
                                                  {L"rgTwo", L"-1", L"SOFTWARE\\tidewelltest\\duplicates\\TREE", L"-", L"Main"},
                                                  {L"rvOne", L"1", values, L"Setting", L"Main"},
                                                  {L"rvTwo", L"1", L"software\\TidewellTest\\DUPLICATES\\values", L"SETTING", L"Main"}})
                     .rows(L"VU_RemoveRegistry", {{L"rgOne", L"", L"", L""}, {L"rgTwo", L"", L"", L""},
                                                  {L"rvOne", L"", L"", L""}, {L"rvTwo", L"", L"", L""}})
                     .withKit()
                     .sequence(L"VU_RemoveRegsImmediate", 1700);
             },
         .once = {duplicate(L"OnVuRemoveRegs", L"rgTwo", L"HKCU\\SOFTWARE\\tidewelltest\\duplicates\\TREE\\", L"rgOne",
                            L"removed"),
                  duplicate(L"OnVuRemoveRegs", L"rvTwo", L"HKCU\\software\\TidewellTest\\DUPLICATES\\values\\SETTING",
                            L"rvOne", L"removed"),
                  {L"OnVuRemoveRegs: removed key "}, {L"OnVuRemoveRegs: removed value "}},
         .gone = {{tree}, {values, L"Setting"}},
         .stays = {{values, L"Other"}, {kRegistryBase + L"\\Kept", L"k"}}},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.name));
        layDown(c.before);
        for (const auto& entry : c.registry) regSetString(HKEY_CURRENT_USER, entry.key, entry.value, L"x");
        Package package(std::wstring(L"duplicates-") + c.name);
        package.component(L"Main");
        c.author(package);

        const RunResult install = package.install();
        EXPECT_EQ(0u, install.code);
        if (install.code != 0) continue;  // the next case is a package of its own
        expectOnce(install, c.once);
        size_t duplicates = 0;
        for (const auto& parts : c.once)
            for (const auto& part : parts) duplicates += part.find(L"'s item too") != std::wstring::npos;
        EXPECT_EQ(duplicates, linesWith(install, {L"'s item too: it is "})) << "no other row is told a duplicate";
        for (const auto* never : {L"the user's script copied", L" is backed up already", L" is in the store already"})
            EXPECT_EQ(0u, linesWith(install, {never})) << toUtf8(never);
        expectStates(c.installed);
        for (const auto& entry : c.gone) EXPECT_FALSE(present(entry)) << toUtf8(entry.key);
        for (const auto& entry : c.stays) EXPECT_TRUE(present(entry)) << toUtf8(entry.key);
        if (c.restored.empty()) continue;

        layDown(c.changed);
        const RunResult uninstall = package.uninstall();
        EXPECT_EQ(0u, uninstall.code);
        expectOnce(uninstall, c.onceAtUninstall);
        expectStates(c.restored);
        EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
        EXPECT_FALSE(exists(backupFilePath(package.productCode())));
    }
    regDeleteTree(HKEY_CURRENT_USER, kRegistryBase);
}

// The check that the user's script copied every network item counts network items only:
// a local file that two rows name is one local item, and the network file that the script
// cannot read is the one missing. The backup then fails and leaves nothing behind.
TEST(DuplicateRows, TheScriptsShortfallCountsNetworkItemsOnly) {
    TestFolder local(L"C:\\tw-dup-net");
    TestFolder network(L"N:\\tw-dup-net");
    writeFile(local / L"settings.ini", "local");
    writeFile(network / L"free.ini", "free");
    writeFile(network / L"held.ini", "held");
    Package package(L"duplicates-network");
    package.property(L"TWLOCAL", local.path())
        .property(L"TWNET", network.path())
        .component(L"Main")
        .rows(L"VU_PersistentData", {{L"local1", L"0", L"1", L"[TWLOCAL]\\settings.ini"},
                                     {L"local2", L"0", L"1", L"[TWLOCAL]\\SETTINGS.INI"},
                                     {L"netFree", L"0", L"1", L"[TWNET]\\free.ini"},
                                     {L"netHeld", L"0", L"1", L"[TWNET]\\held.ini"}})
        .withKit()
        .sequence(L"VU_BackupImmediate", 1450, L"NOT Installed");
    RunResult install;
    {
        // Not even reading is shared: the script's copy cannot open it.
        const unique_hfile held(
            CreateFileW((network / L"held.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.is_valid());
        install = package.install();
    }
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), install.code);
    expectOnce(install, {duplicate(L"OnVuBackupImmediate", L"local2", local / L"SETTINGS.INI", L"local1", L"backed up"),
                         {L"OnVuBackupImmediate: the user's script copied 1 of 2 network items"},
                         {L"OnVuBackupImmediate: network item " + network / L"held.ini" +
                          L" not copied: the user's script did not confirm the copy"},
                         {L"OnVuBackupImmediate: the backup failed: its copies are deleted"}});
    EXPECT_FALSE(exists(backupFilePath(package.productCode())));
    EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
    EXPECT_EQ("local", readFile(local / L"settings.ini"));
    EXPECT_EQ("held", readFile(network / L"held.ini"));
}
