// The registry work list read back on the deferred side: its shape, the root numbers and
// ALLUSERS it keeps (the roots they give are rootForNumber's), and the progress text.
// Registry removal itself is tested with real installations
// (tests/package/registry_removal_test.cpp).
#include <gtest/gtest.h>

#include "msi/action_data.h"
#include "msi/action_log.h"
#include "remove_registry/registry_remover.h"

using namespace tidewell;

namespace {

const std::wstring F(1, kFieldSeparator), R(1, kRecordSeparator), G(1, kGroupSeparator);

std::wstring record(const std::wstring& id, const std::wstring& root, const std::wstring& key,
                    const std::wstring& name, const std::wstring& native) {
    return id + F + root + F + key + F + name + F + L"Main" + F + id + F + L"1" + F + F + native;
}

const ActionLog kNoLog(0, L"test");

ActionData parsed(const std::wstring& text) {
    ActionData data(text);
    data.parse();
    return data;
}

}  // namespace

TEST(RegistryRemover, LoadsNineFieldRecordsAndAllUsers) {
    const std::wstring text = record(L"b", L" -1x", L"Software\\B", L"-", L"1") + R +
                              record(L"a", L"2", L"Software\\A", L"", L" 1") + R +
                              record(L"b", L"3", L"Software\\Second", L"v", L"0") + R +  // same key: first wins
                              L"short" + F + L"1" + F + L"Software\\C" + R +                 // 3 fields: skipped
                              G + L"ALLUSERS" + F + L"1";
    RegistryRemover remover(kNoLog);
    remover.load(parsed(text));
    ASSERT_EQ(2u, remover.entries().size());
    const auto& a = remover.entries().at(L"a");
    EXPECT_EQ(2, a.root);
    EXPECT_EQ(L"Software\\A", a.key);
    EXPECT_EQ(L"", a.name);
    EXPECT_FALSE(a.useNativeView) << "only exactly \"1\" asks for the native view";
    const auto& b = remover.entries().at(L"b");
    EXPECT_EQ(-1, b.root);
    EXPECT_EQ(L"Software\\B", b.key);
    EXPECT_EQ(L"-", b.name);
    EXPECT_TRUE(b.useNativeView);
    EXPECT_EQ(L"1", remover.allUsers());
}

TEST(RegistryRemover, WorkListsOfAnotherShapeLoadNothing) {
    const std::wstring rows = record(L"a", L"1", L"Software\\A", L"-", L"0");
    for (const std::wstring& text : {std::wstring(), rows, L"ALLUSERS" + F + L"1",
                                     rows + G + L"ALLUSERS" + F + L"1" + G + L"extra"}) {
        RegistryRemover remover(kNoLog);
        remover.load(parsed(text));
        EXPECT_TRUE(remover.entries().empty());
        EXPECT_EQ(L"", remover.allUsers());
    }
}

TEST(RegistryRemover, ProgressTextIsShortRootKeyAndValueName) {
    EXPECT_EQ(L"HKLM\\Software\\A\\Name", RegistryRemover::progressText(HKEY_LOCAL_MACHINE, L"Software\\A", L"Name"));
    EXPECT_EQ(L"HKCU\\Software\\A\\", RegistryRemover::progressText(HKEY_CURRENT_USER, L"Software\\A", L""));
    EXPECT_EQ(L"HKCR\\Software\\A\\", RegistryRemover::progressText(HKEY_CLASSES_ROOT, L"Software\\A\\", L""));
    EXPECT_EQ(L"HKU\\Top\\ -", RegistryRemover::progressText(HKEY_USERS, L"Top", L" -"));
}
