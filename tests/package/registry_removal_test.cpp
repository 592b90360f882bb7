// Registry removal in real installations: RemoveRegistry rows extended by
// VU_RemoveRegistry rows are removed by the library at commit time (rollback enabled)
// or in the deferred phase (rollback disabled), in the registry view of their component.
#include <gtest/gtest.h>
#include <msidefs.h>

#include <algorithm>

#include "package.h"
#include "registry_actions.h"
#include "test_fs.h"

using namespace tidewell::test;

namespace {

constexpr REGSAM k64 = KEY_WOW64_64KEY;
constexpr REGSAM k32 = KEY_WOW64_32KEY;

const std::wstring kBase = L"Software\\TidewellTest\\Registry";

Package& addSequencedRegistryActions(Package& package) {
    return addRegistryActions(package).sequence(L"VU_RemoveRegsImmediate", 1700);
}

// The library's progress texts of a run (the standard actions send their own).
std::vector<std::wstring> registryProgress(const RunResult& result) {
    std::vector<std::wstring> texts;
    for (const auto& message : result.actionDataRecords()) {
        if (message.fields.size() < 2 || message.fields[1].find(L"TidewellTest") == std::wstring::npos) continue;
        EXPECT_EQ(2u, message.fields.size()) << "one field per progress message";
        texts.push_back(message.fields[1]);
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

void clearAll() {
    regDeleteTree(HKEY_CURRENT_USER, kBase);
    regDeleteTree(HKEY_CURRENT_USER, L"TidewellTestTop");
    regDeleteTree(HKEY_CLASSES_ROOT, L"TidewellTest.Registry");
    regDeleteTree(HKEY_USERS, L".DEFAULT\\" + kBase);
    for (REGSAM view : {k64, k32}) {
        regDeleteTree(HKEY_LOCAL_MACHINE, kBase, view);
        regDeleteTree(HKEY_LOCAL_MACHINE, L"Software\\TidewellTestTop64", view);
    }
}

}  // namespace

TEST(RegistryRemoval, NamesRootsExpansionAndProgressMessages) {
    clearAll();
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Tree", L"", L"d");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Tree\\Sub\\Deep", L"v", L"1");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Trailing\\Sub", L"v", L"1");
    for (const wchar_t* name : {L"", L"--", L" -", L"keep"}) regSetString(HKEY_CURRENT_USER, kBase + L"\\Values", name, L"x");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Expanded", L"val", L"x");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Expanded", L"other", L"x");
    regSetString(HKEY_CURRENT_USER, L"TidewellTestTop\\Sub", L"v", L"x");
    regSetString(HKEY_CLASSES_ROOT, L"TidewellTest.Registry", L"v", L"x");
    regSetString(HKEY_USERS, L".DEFAULT\\" + kBase, L"u", L"x");
    regSetString(HKEY_LOCAL_MACHINE, kBase, L"m", L"x", k32);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) regSetString(root, kBase, L"seven", L"x", k32);

    Package package(L"registry-names");
    package.component(L"Main")
        .property(L"SUBKEY", L"Expanded")
        .property(L"VALNAME", L"val")
        .rows(L"RemoveRegistry", {{L"r01", L"1", kBase + L"\\Tree", L"-", L"Main"},
                                  {L"r02", L"1", kBase + L"\\Values", L"", L"Main"},
                                  {L"r03", L"1", kBase + L"\\Values", L"--", L"Main"},
                                  {L"r04", L"1", kBase + L"\\Values", L" -", L"Main"},
                                  {L"r05", L"0", L"TidewellTest.Registry", L"v", L"Main"},
                                  {L"r06", L"2", kBase, L"m", L"Main"},
                                  {L"r07", L"3", L".DEFAULT\\" + kBase, L"u", L"Main"},
                                  {L"r08", L"7", kBase, L"seven", L"Main"},
                                  {L"r09", L"1", L"Software\\TidewellTest\\Registry\\[SUBKEY]", L"[VALNAME]", L"Main"},
                                  {L"r10", L"1", L"TidewellTestTop", L"-", L"Main"},
                                  {L"r11", L"1", kBase + L"\\Missing\\Deeper", L"-", L"Main"},
                                  {L"r12", L"1", kBase + L"\\Values", L"absent", L"Main"},
                                  {L"r13", L"1", kBase + L"\\Trailing\\", L"-", L"Main"}});
    for (int i = 1; i <= 13; ++i) {
        const std::wstring id = (i < 10 ? L"r0" : L"r1") + std::to_wstring(i % 10);
        package.rows(L"VU_RemoveRegistry", {{id, L"", L"", L""}});
    }
    addSequencedRegistryActions(package);

    const RunResult result = package.install();
    ASSERT_EQ(0u, result.code);
    EXPECT_TRUE(result.logHas(L"OnVuRemoveRegsImmediate: scheduled VU_VuRemoveRegsCommit"));

    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Tree")) << "\"-\" removes the key with its subkeys";
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Trailing")) << "a trailing backslash names the same key";
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kBase + L"\\Values", L"")) << "empty name: the default value";
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kBase + L"\\Values", L"--"));
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kBase + L"\\Values", L" -"));
    EXPECT_TRUE(regValueExists(HKEY_CURRENT_USER, kBase + L"\\Values", L"keep"));
    EXPECT_FALSE(regValueExists(HKEY_CLASSES_ROOT, L"TidewellTest.Registry", L"v")) << "root 0";
    EXPECT_TRUE(regKeyExists(HKEY_CLASSES_ROOT, L"TidewellTest.Registry"));
    EXPECT_FALSE(regValueExists(HKEY_LOCAL_MACHINE, kBase, L"m", k32)) << "root 2";
    EXPECT_FALSE(regValueExists(HKEY_USERS, L".DEFAULT\\" + kBase, L"u")) << "root 3";
    EXPECT_FALSE(regValueExists(HKEY_LOCAL_MACHINE, kBase, L"seven", k32)) << "root 7 counts as HKLM";
    EXPECT_TRUE(regValueExists(HKEY_CURRENT_USER, kBase, L"seven"));
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kBase + L"\\Expanded", L"val")) << "Key and Name expanded";
    EXPECT_TRUE(regValueExists(HKEY_CURRENT_USER, kBase + L"\\Expanded", L"other"));
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, L"TidewellTestTop")) << "a key directly under its root";

    const std::wstring cu = L"HKCU\\" + kBase, lm = L"HKLM\\" + kBase;
    std::vector<std::wstring> expected{cu + L"\\Tree\\",
                                       cu + L"\\Values\\",
                                       cu + L"\\Values\\--",
                                       cu + L"\\Values\\ -",
                                       L"HKCR\\TidewellTest.Registry\\v",
                                       lm + L"\\m",
                                       L"HKU\\.DEFAULT\\" + kBase + L"\\u",
                                       lm + L"\\seven",
                                       cu + L"\\Expanded\\val",
                                       L"HKCU\\TidewellTestTop\\",
                                       cu + L"\\Missing\\Deeper\\",
                                       cu + L"\\Values\\absent",
                                       cu + L"\\Trailing\\"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, registryProgress(result)) << "one message per entry, missing ones included";
    EXPECT_TRUE(result.logHas(L"OnVuRemoveRegs: key HKCU\\" + kBase + L"\\Missing\\Deeper\\ not removed"));
    clearAll();
}

TEST(RegistryRemoval, RootMinusOneIsPerMachineOnlyWhenAllUsersIsOne) {
    struct Case {
        const char* what;
        const wchar_t* commandLine;
        const wchar_t* property;
        const wchar_t* setBeforeAction;
        bool perMachine;
    } cases[] = {
        {"ALLUSERS=1 on the command line", L"ALLUSERS=1", L"", L"", true},
        {"ALLUSERS 1 in the Property table", L"", L"1", L"", true},
        // The installer itself turns ALLUSERS=2 into 1 for an administrator, so the 2 is
        // set by an action just before the library's.
        {"ALLUSERS 2 when the action runs", L"", L"", L"2", false},
        {"ALLUSERS unset", L"", L"", L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearAll();
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) regSetString(root, kBase, L"minus", L"x", k32);
        Package package(L"registry-allusers");
        package.component(L"Main")
            .property(L"ALLUSERS", c.property)
            .rows(L"RemoveRegistry", {{L"r1", L"-1", kBase, L"minus", L"Main"}})
            .rows(L"VU_RemoveRegistry", {{L"r1", L"", L"", L""}});
        addSequencedRegistryActions(package);
        if (*c.setBeforeAction)
            package.customAction(L"TW_SetAllUsers", msidbCustomActionTypeTextData | msidbCustomActionTypeProperty,
                                 L"ALLUSERS", c.setBeforeAction)
                .sequence(L"TW_SetAllUsers", 1650);
        const RunResult result = package.install(c.commandLine);
        ASSERT_EQ(0u, result.code);
        EXPECT_TRUE(result.logHas(std::wstring(L"OnVuRemoveRegsImmediate: ALLUSERS is '") +
                                  (c.perMachine ? L"1" : c.setBeforeAction) + L"'"));
        EXPECT_EQ(c.perMachine, !regValueExists(HKEY_LOCAL_MACHINE, kBase, L"minus", k32));
        EXPECT_EQ(c.perMachine, regValueExists(HKEY_CURRENT_USER, kBase, L"minus"));
        EXPECT_EQ(std::vector<std::wstring>{(c.perMachine ? L"HKLM\\" : L"HKCU\\") + kBase + L"\\minus"},
                  registryProgress(result));
    }
    clearAll();
}

TEST(RegistryRemoval, ConditionAndInstallModeDecideAndTheStandardRowIsAlwaysGone) {
    clearAll();
    const std::wstring key = kBase + L"\\Modes";
    const std::vector<std::wstring> names{L"plain", L"false", L"mode1", L"mode2", L"mode3"};
    auto setAll = [&] {
        for (const auto& name : names) regSetString(HKEY_CURRENT_USER, key, name, L"x");
    };
    setAll();
    Package package(L"registry-modes");
    package.component(L"Main")
        .property(L"FLAG", L"no")
        .rows(L"RemoveRegistry", {{L"plain", L"1", key, L"plain", L"Main"},  // Windows Installer's own row
                                  {L"false", L"1", key, L"false", L"Main"},
                                  {L"mode1", L"1", key, L"mode1", L"Main"},
                                  {L"mode2", L"1", key, L"mode2", L"Main"},
                                  {L"mode3", L"1", key, L"mode3", L"Main"}})
        .rows(L"VU_RemoveRegistry", {{L"false", L"3", L"FLAG=\"yes\"", L""},
                                     {L"mode1", L"", L"", L""},
                                     {L"mode2", L"2", L"", L""},
                                     {L"mode3", L"3", L"FLAG=\"no\"", L""}});
    addSequencedRegistryActions(package);

    const RunResult installed = package.install();
    ASSERT_EQ(0u, installed.code);
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, key, L"plain")) << "Windows Installer removes its own rows";
    EXPECT_TRUE(regValueExists(HKEY_CURRENT_USER, key, L"false")) << "neither Windows Installer nor the library";
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, key, L"mode1"));
    EXPECT_TRUE(regValueExists(HKEY_CURRENT_USER, key, L"mode2"));
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, key, L"mode3"));
    EXPECT_TRUE(installed.logHas(L"OnVuRemoveRegsImmediate: row false skipped: component 'Main'"));
    EXPECT_TRUE(installed.logHas(L"but condition 'FLAG=\"yes\"' is false"));

    setAll();
    const RunResult removed = package.uninstall();
    ASSERT_EQ(0u, removed.code);
    EXPECT_TRUE(regValueExists(HKEY_CURRENT_USER, key, L"false"));
    EXPECT_TRUE(regValueExists(HKEY_CURRENT_USER, key, L"mode1")) << "install mode 1 acts only at installation";
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, key, L"mode2"));
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, key, L"mode3"));
    clearAll();
}

TEST(RegistryRemoval, RunsAtCommitWithRollbackAndDeferredWithoutIt) {
    struct Case {
        const char* what;
        const wchar_t* commandLine;
        const wchar_t* scheduled;
        bool removedAfterFailure;
    } cases[] = {
        {"rollback enabled: a failed installation leaves the key", L"", L"VU_VuRemoveRegsCommit", false},
        {"DISABLEROLLBACK=1: removed in the deferred phase, stays removed", L"DISABLEROLLBACK=1",
         L"VU_VuRemoveRegsDeferred", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearAll();
        regSetString(HKEY_CURRENT_USER, kBase + L"\\Rollback\\Sub", L"v", L"x");
        regSetString(HKEY_CURRENT_USER, kBase + L"\\Rollback", L"value", L"x");
        Package package(L"registry-rollback");
        package.component(L"Main")
            .rows(L"RemoveRegistry", {{L"tree", L"1", kBase + L"\\Rollback\\Sub", L"-", L"Main"},
                                      {L"value", L"1", kBase + L"\\Rollback", L"value", L"Main"}})
            .rows(L"VU_RemoveRegistry", {{L"tree", L"", L"", L""}, {L"value", L"", L"", L""}})
            .failAt(6000);
        addSequencedRegistryActions(package);
        const RunResult result = package.install(c.commandLine);
        EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), result.code);
        EXPECT_TRUE(result.logHas(std::wstring(L"OnVuRemoveRegsImmediate: scheduled ") + c.scheduled));
        EXPECT_EQ(c.removedAfterFailure, !regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Rollback\\Sub"));
        EXPECT_EQ(c.removedAfterFailure, !regValueExists(HKEY_CURRENT_USER, kBase + L"\\Rollback", L"value"));
    }
    clearAll();
}

TEST(RegistryRemoval, SixtyFourBitComponentsRemoveFromTheNativeView) {
    clearAll();
    const std::wstring view = kBase + L"\\View";
    for (REGSAM v : {k64, k32}) {
        regSetString(HKEY_LOCAL_MACHINE, view + L"\\Tree64\\Sub", L"v", L"x", v);
        regSetString(HKEY_LOCAL_MACHINE, view + L"\\Tree32\\Sub", L"v", L"x", v);
        regSetString(HKEY_LOCAL_MACHINE, view, L"v64", L"x", v);
        regSetString(HKEY_LOCAL_MACHINE, view, L"v32", L"x", v);
        regSetString(HKEY_LOCAL_MACHINE, L"Software\\TidewellTestTop64", L"v", L"x", v);
    }
    Package package(L"registry-view");
    package.component(L"Main64", msidbComponentAttributes64bit)
        .component(L"Main32")
        .rows(L"RemoveRegistry", {{L"tree64", L"2", view + L"\\Tree64", L"-", L"Main64"},
                                  {L"value64", L"2", view, L"v64", L"Main64"},
                                  {L"top64", L"2", L"Software\\TidewellTestTop64", L"-", L"Main64"},
                                  {L"tree32", L"2", view + L"\\Tree32", L"-", L"Main32"},
                                  {L"value32", L"2", view, L"v32", L"Main32"}})
        // The authored DisableWOWRedirection is not what decides the view.
        .rows(L"VU_RemoveRegistry", {{L"tree64", L"", L"", L"0"},
                                     {L"value64", L"", L"", L""},
                                     {L"top64", L"", L"", L"0"},
                                     {L"tree32", L"", L"", L"1"},
                                     {L"value32", L"", L"", L"1"}});
    addSequencedRegistryActions(package);
    const RunResult result = package.install();
    ASSERT_EQ(0u, result.code);

    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, view + L"\\Tree64", k64));
    EXPECT_FALSE(regValueExists(HKEY_LOCAL_MACHINE, view, L"v64", k64));
    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, L"Software\\TidewellTestTop64", k64)) << "parent is Software itself";
    EXPECT_TRUE(regKeyExists(HKEY_LOCAL_MACHINE, view + L"\\Tree64\\Sub", k32)) << "the redirected copy stays";
    EXPECT_TRUE(regValueExists(HKEY_LOCAL_MACHINE, view, L"v64", k32));
    EXPECT_TRUE(regKeyExists(HKEY_LOCAL_MACHINE, L"Software\\TidewellTestTop64", k32));

    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, view + L"\\Tree32", k32));
    EXPECT_FALSE(regValueExists(HKEY_LOCAL_MACHINE, view, L"v32", k32));
    EXPECT_TRUE(regKeyExists(HKEY_LOCAL_MACHINE, view + L"\\Tree32\\Sub", k64)) << "the native copy stays";
    EXPECT_TRUE(regValueExists(HKEY_LOCAL_MACHINE, view, L"v32", k64));
    EXPECT_TRUE(result.logHas(L"OnVuRemoveRegs: removed key HKLM\\" + view + L"\\Tree64\\ (native 64-bit view)"));
    clearAll();
}
