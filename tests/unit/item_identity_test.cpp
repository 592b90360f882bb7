// What makes two names one item: every spelling of a file or folder that exists reaches
// the same identity, a hard link included (which no text comparison finds); what does not
// exist is compared as text; registry names by root, view and case-folded names.
#include <gtest/gtest.h>

#include "common/text.h"
#include "win/item_identity.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

std::wstring shortPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

}  // namespace

TEST(ItemIdentity, SpellingsOfOneFileOrFolderAreOneItem) {
    TestFolder root(L"C:\\tw-identity");
    const std::wstring folder = root / L"Data Folder";
    writeFile(folder + L"\\settings.ini", "s");
    writeFile(folder + L"\\other.ini", "o");
    ASSERT_TRUE(CreateHardLinkW((folder + L"\\hard.ini").c_str(), (folder + L"\\settings.ini").c_str(), nullptr));
    const std::wstring shortFolder = shortPath(folder);
    ASSERT_FALSE(shortFolder.empty());
    ASSERT_NE(folder, shortFolder) << "the platform gives this folder an 8.3 name: otherwise no case shows it";
    const std::wstring missing = root / L"Not There\\x.ini";

    const struct {
        std::wstring first, second;
        bool same;
    } cases[] = {
        {folder, L"C:\\TW-IDENTITY\\DATA FOLDER\\", true},
        {folder, shortFolder, true},
        {folder + L"\\settings.ini", shortFolder + L"\\SETTINGS.INI", true},
        {folder + L"\\settings.ini", folder + L"\\hard.ini", true},  // one file, two names
        {folder + L"\\settings.ini", folder + L"\\other.ini", false},
        {folder + L"\\settings.ini", folder, false},
        {folder, root.path(), false},
        // Missing: the path text, with the case, slashes and trailing backslashes folded.
        {missing, L"c:/TW-IDENTITY/not there/X.INI\\", true},
        {missing, root / L"Not There\\y.ini", false},
        // A network path is never opened here: compared as text.
        {L"\\\\server\\share\\Data", L"\\\\SERVER\\share\\data\\", true},
        {L"\\\\server\\share\\Data", L"\\\\server\\share\\Data2", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.first + L" / " + c.second));
        EXPECT_EQ(c.same, fileSystemIdentity(c.first) == fileSystemIdentity(c.second));
    }
}

TEST(ItemIdentity, RegistryNamesCompareByRootViewAndNamesWithTheCaseIgnored) {
    const auto own = RegistryView::Own, native = RegistryView::Native;
    const HKEY CU = HKEY_CURRENT_USER, LM = HKEY_LOCAL_MACHINE;
    const std::optional<std::wstring> key;
    const struct {
        ItemIdentity first, second;
        bool same;
    } cases[] = {
        {registryIdentity(CU, L"Software\\Vendor", key, own), registryIdentity(CU, L"SOFTWARE\\vendor", key, own), true},
        {registryIdentity(CU, L"Software\\Vendor", key, own), registryIdentity(LM, L"Software\\Vendor", key, own), false},
        {registryIdentity(LM, L"Software\\Vendor", key, own), registryIdentity(LM, L"Software\\Vendor", key, native), false},
        {registryIdentity(CU, L"Software\\Vendor", key, own), registryIdentity(CU, L"Software\\Vendor", L"", own), false},
        {registryIdentity(CU, L"Software\\Vendor", L"Name", own), registryIdentity(CU, L"software\\VENDOR", L"NAME", own), true},
        {registryIdentity(CU, L"Software\\Vendor", L"Name", own), registryIdentity(CU, L"Software\\Vendor", L"Other", own), false},
        // A value name may hold a backslash: it never reads as a subkey.
        {registryIdentity(CU, L"Software\\Vendor", L"A\\B", own), registryIdentity(CU, L"Software\\Vendor\\A", L"B", own), false},
        {registryIdentity(CU, L"Software\\Vendor\\A", key, own), registryIdentity(CU, L"Software\\Vendor", L"A", own), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.first.text + L" / " + c.second.text));
        EXPECT_EQ(c.same, c.first == c.second);
    }
}
