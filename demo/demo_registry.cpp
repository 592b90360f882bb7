// Registry removal: a VU_RemoveRegistry row removes a whole key tree, another one value
// of a key that otherwise stays.
#include <windows.h>
#include <msidefs.h>

#include "demo.h"
#include "test_fs.h"

namespace tidewell::demo {
namespace {

const std::wstring kKey = L"Software\\TidewellDemo";

void listKey(HKEY parent, const std::wstring& path, const std::wstring& indent) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        say(indent + L"value " + (length == 0 ? std::wstring(L"(default)") : std::wstring(name)));
    }
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        say(indent + name + L"\\");
        listKey(key, name, indent + L"    ");
    }
    RegCloseKey(key);
}

void showKey(const std::wstring& label) {
    say(label + L" HKCU\\" + kKey + L":");
    if (!test::regKeyExists(HKEY_CURRENT_USER, kKey)) say(L"    (key does not exist)");
    listKey(HKEY_CURRENT_USER, kKey, L"    ");
}

void run() {
    test::regDeleteTree(HKEY_CURRENT_USER, kKey);
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Cache\\Thumbnails", L"count", L"12");
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Cache", L"", L"cache");
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Settings", L"LastUser", L"ada");
    test::regSetString(HKEY_CURRENT_USER, kKey + L"\\Settings", L"Theme", L"dark");

    test::Package package(L"demo-registry");
    package.component(L"Main")
        .rows(L"RemoveRegistry", {{L"cache", L"1", kKey + L"\\Cache", L"-", L"Main"},
                                  {L"lastUser", L"1", kKey + L"\\Settings", L"LastUser", L"Main"}})
        .rows(L"VU_RemoveRegistry", {{L"cache", L"3", L"", L""}, {L"lastUser", L"3", L"", L""}})
        .tidewellAction(L"VU_RemoveRegsImmediate", msidbCustomActionTypeDll, L"OnVuRemoveRegsImmediate")
        .tidewellAction(L"VU_VuRemoveRegsDeferred", msidbCustomActionTypeDll | msidbCustomActionTypeInScript,
                        L"OnVuRemoveRegs")
        .tidewellAction(L"VU_VuRemoveRegsCommit",
                        msidbCustomActionTypeDll | msidbCustomActionTypeInScript | msidbCustomActionTypeCommit,
                        L"OnVuRemoveRegs")
        .sequence(L"VU_RemoveRegsImmediate", 1700);
    say(L"Rows: 'cache' removes the key Cache with everything in it ('-'), 'lastUser' the value LastUser.");
    showKey(L"Before");
    const auto result = package.install();
    showLibraryLog(L"Installation", result);
    say(L"Progress messages sent:");
    for (const auto& text : result.actionData())
        if (text.find(L"TidewellDemo") != std::wstring::npos) say(L"    " + text);
    showKey(L"After");
    package.uninstall();
    test::regDeleteTree(HKEY_CURRENT_USER, kKey);
}

const Register registration({40, "Registry removal: a key tree and one value", run});

}  // namespace
}  // namespace tidewell::demo
