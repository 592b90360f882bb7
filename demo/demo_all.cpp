// One package that uses all five features. Its installation is an upgrade of "Demo App":
// it clears the old version's cache and logs, removes a registry key tree and a value,
// moves and copies configuration files, and keeps the user's data across the removal of
// the old version (backup before, restore after). Its uninstallation asks the clean-up
// question, answered No, so the user's data stays. Then the same package is installed
// again with an action that fails, and the rollback puts everything back.
#include <windows.h>

#include <functional>

#include "backup_file.h"
#include "common/unique_any.h"
#include "demo.h"
#include "demo_package.h"
#include "test_fs.h"

namespace tidewell::demo {
namespace {

using Lines = std::vector<std::wstring>;

// The failing action stands after the restore. Wine does not roll back Windows Installer's
// own RemoveFiles and RemoveRegistryValues, so a failure before the restore would lose the
// user's data there, where Windows would put it back.
constexpr int kFailingAction = 6500;

// What the user's machine holds before the upgrade.
void seed() {
    test::removeTree(kRoot);
    test::writeFile(kOld + L"\\Cache & (old)\\page 1.bin", "1");
    test::writeFile(kOld + L"\\Cache & (old)\\sub\\page 2.bin", "2");
    test::writeFile(kOld + L"\\trace.log", "t");
    test::writeFile(kOld + L"\\r\u00e9sum\u00e9.log", "r");
    test::writeFile(kOld + L"\\readme.txt", "read me");
    test::writeFile(kConfig + L"\\old\\app.cfg", "app");
    test::writeFile(kConfig + L"\\old\\user.cfg", "user");
    test::writeFile(kConfig + L"\\old\\defaults.ini", "[defaults]");
    test::writeFile(kData + L"\\settings.ini", "theme=dark");
    test::writeFile(kData + L"\\Profiles\\ada\\prefs.txt", "font=large");
    test::regDeleteTree(HKEY_CURRENT_USER, kKey);
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Cache", L"", L"cache");
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Cache\\Thumbnails", L"count", L"12");
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Session", L"LastDocument", L"report.txt");
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Session", L"WindowSize", L"800x600");
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Settings", L"Theme", L"dark");
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Settings", L"LastUser", L"ada");
}

// The folder's tree: its path, then one entry per line.
Lines tree(const std::wstring& folder) {
    Lines lines{folder + L"\\"};
    const auto names = test::listTree(folder);
    if (!test::exists(folder)) lines.push_back(L"    (folder does not exist)");
    else if (names.empty()) lines.push_back(L"    (empty)");
    for (const auto& name : names) lines.push_back(L"    " + name);
    return lines;
}

void addKey(HKEY parent, const std::wstring& path, const std::wstring& indent, Lines& lines) {
    unique_hkey key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    wchar_t name[256];
    wchar_t data[256];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 256;
        DWORD type = 0;
        DWORD size = sizeof(data) - sizeof(wchar_t);
        if (RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
            break;
        data[size / sizeof(wchar_t)] = L'\0';
        const std::wstring shown = type == REG_SZ ? L"\"" + std::wstring(data) + L"\"" : L"(not a string)";
        lines.push_back(indent + (nameLength == 0 ? std::wstring(L"(default)") : std::wstring(name)) + L" = " + shown);
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        lines.push_back(indent + name + L"\\");
        addKey(key.get(), name, indent + L"    ", lines);
    }
}

// The key under HKEY_CURRENT_USER: its path, then its values and subkeys.
Lines key(const std::wstring& path) {
    Lines lines{L"HKCU\\" + path + L"\\"};
    if (!test::regKeyExists(HKEY_CURRENT_USER, path)) lines.push_back(L"    (key does not exist)");
    addKey(HKEY_CURRENT_USER, path, L"    ", lines);
    return lines;
}

Lines operator+(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// What the stores hold between runs: nothing, once a run has committed or rolled back.
std::wstring leftovers(const test::Package& package) {
    return L"VU_RecycleBin folders: " + std::to_wstring(test::recycleBins().size()) +
           L"; removal journal: " + (test::journalFiles().empty() ? L"no" : L"yes") + L"; backup file: " +
           (test::exists(test::backupFilePath(package.productCode())) ? L"yes" : L"no") + L"; registry store: " +
           (test::regKeyExists(HKEY_CURRENT_USER, L"Software\\VU_RecycleBin") ? L"yes" : L"no");
}

struct Feature {
    std::wstring title;
    Lines rows;  // what the package asks for, one line each
    std::vector<std::wstring> exports;
    std::function<Lines()> state;
};

const std::vector<std::wstring> kFileRemoval = {L"OnVuRemoveFilesImmediate", L"OnVuRemoveFilesUndoable",
                                                L"OnVuRemoveFilesPermanent", L"OnVuRemoveFilesCommit",
                                                L"OnVuUndoRemoveFiles"};
const std::vector<std::wstring> kRegistryRemoval = {L"OnVuRemoveRegsImmediate", L"OnVuRemoveRegs"};
const std::vector<std::wstring> kMoving = {L"OnVuMoveFilesImmediate", L"OnVuMoveFilesDeferred",
                                           L"OnVuMoveFilesRollback"};
const std::vector<std::wstring> kBackup = {L"OnVuBackupImmediate", L"OnVuBackupDeferred",  L"OnVuBackupRollback",
                                           L"OnVuRestoreImmediate", L"OnVuRestoreRollback", L"OnVuRestoreDeferred",
                                           L"OnVuBackupCleanup"};

std::vector<Feature> installFeatures() {
    return {
        {L"File removal",
         {L"remove the folder 'Cache & (old)' with everything in it (options 3) and *.log (options 0), undoably."},
         kFileRemoval, [] { return tree(kOld); }},
        {L"Registry removal", {L"remove the key Cache with its subkeys ('-') and the value Session\\LastDocument."},
         kRegistryRemoval, [] { return key(kKey + L"\\Cache") + key(kKey + L"\\Session"); }},
        {L"Moving and copying",
         {L"move every *.cfg from old\\ to new\\data\\ (not there yet);",
          L"copy defaults.ini to backup\\defaults.bak."},
         kMoving, [] { return tree(kConfig); }},
        {L"Backup and restore",
         {L"back up settings.ini, the folder Profiles and the key Settings (Type 2, root -1) first;",
          L"Windows Installer's own RemoveFile and RemoveRegistry rows (no VU_ rows) then delete them,",
          L"as removing the old version would; the restore puts the copies back after WriteRegistryValues."},
         kBackup, [] { return tree(kData) + key(kKey + L"\\Settings"); }},
    };
}

void print(const Lines& lines, const std::wstring& indent) {
    for (const auto& line : lines) say(indent + line);
}

void showFeature(const Feature& feature, const Lines& before, const test::RunResult& result) {
    say(L"");
    say(L"  -- " + feature.title + L" --");
    for (size_t i = 0; i < feature.rows.size(); ++i) say((i == 0 ? L"    Rows: " : L"          ") + feature.rows[i]);
    say(L"    Before:");
    print(before, L"        ");
    say(L"    What the library did (its lines of the MSI log, by export):");
    showLibraryLogByExport(result, feature.exports, L"        ");
    say(L"    After:");
    print(feature.state(), L"        ");
}

void subheading(const std::wstring& text) {
    say(L"");
    say(L"--- " + text + L" ---");
}

// A property's value at the end of the run, from Windows Installer's own list in the log.
std::wstring finalProperty(const test::RunResult& result, const std::wstring& name) {
    std::wstring value = L"(not in the log)";
    const std::wstring marker = L"Property(S): " + name + L" = ";
    for (size_t at = result.log.find(marker); at != std::wstring::npos; at = result.log.find(marker, at + 1)) {
        const size_t end = result.log.find_first_of(L"\r\n", at);
        value = result.log.substr(at + marker.size(), end == std::wstring::npos ? end : end - at - marker.size());
    }
    return value;
}

void install(test::Package& package) {
    subheading(L"1. Installation: the upgrade");
    const auto features = installFeatures();
    std::vector<Lines> before;
    for (const auto& feature : features) before.push_back(feature.state());
    const auto result = package.install();
    say(L"Result " + std::to_wstring(result.code) + L". Left in the stores afterwards: " + leftovers(package) + L".");
    for (size_t i = 0; i < features.size(); ++i) showFeature(features[i], before[i], result);
}

void uninstall(test::Package& package) {
    subheading(L"2. Uninstallation: the clean-up question, answered No");
    say(L"The external user interface reports the basic level (VUEXTERNALUI=3 on the command line) and answers No.");
    const Feature question{
        L"The clean-up question",
        {L"VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI=1 and VU_CLEAN_RESOURCES_UNINSTALL=1 in the Property table;",
         L"the clean-up rows 'userData' (the folder User data, options 3) and 'productKey' (the product's key)",
         L"apply at uninstallation under the condition " + kCleanUp + L"."},
        {L"OnPromptUserBasicUI", L"OnVuRemoveFilesImmediate", L"OnVuRemoveRegsImmediate"},
        [] { return tree(kData) + key(kKey); }};
    const Lines before = question.state();
    package.answerQuestionsWith(IDNO);
    const auto result = package.uninstall(L"VUEXTERNALUI=3");
    say(L"Result " + std::to_wstring(result.code) + L". Left in the stores afterwards: " + leftovers(package) + L".");
    showFeature(question, before, result);
    bool asked = false;
    for (const auto& message : result.messages)
        asked = asked || (message.type == INSTALLMESSAGE_USER && message.fields.size() > 1 && message.fields[1] == L"4152");
    say(std::wstring(L"    The question (Error 4152) reached the user interface: ") + (asked ? L"yes" : L"no") +
        L"; its answer is No.");
    say(L"    VU_CLEAN_RESOURCES_UNINSTALL at the end of the run (Windows Installer's property list in the log): " +
        finalProperty(result, L"VU_CLEAN_RESOURCES_UNINSTALL"));
    package.answerQuestionsWith(0);
}

void rollBack(test::Package& package) {
    subheading(L"3. The same package installed again; a deferred action at " + std::to_wstring(kFailingAction) +
               L" fails, and the installation rolls back");
    seed();
    package.failAt(kFailingAction);
    const auto features = installFeatures();
    std::vector<Lines> before;
    for (const auto& feature : features) before.push_back(feature.state());
    const auto result = package.install();
    say(L"Result " + std::to_wstring(result.code) + L". Left in the stores afterwards: " + leftovers(package) + L".");
    for (size_t i = 0; i < features.size(); ++i) showFeature(features[i], before[i], result);
}

void run() {
    seed();
    test::Package package(L"demo-all");
    buildDemoPackage(package);
    say(L"The package \"demo-all\" binds all five features: " + kRoot + L" and HKCU\\" + kKey +
        L" hold what the user had before.");
    install(package);
    uninstall(package);
    rollBack(package);
    test::removeTree(kRoot);
    test::regDeleteTree(HKEY_CURRENT_USER, kKey);
}

const Register registration({20, "One package, all five features: upgrade, uninstallation, rollback", run});

}  // namespace
}  // namespace tidewell::demo
