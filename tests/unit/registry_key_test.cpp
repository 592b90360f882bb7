// The registry access layer against the real (Wine) registry: path parsing, opening
// and creating keys, value, subkey and tree operations, and the WOW64 answer.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <iostream>

#include "common/text.h"
#include "win/registry_key.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

const std::wstring kBase = L"Software\\TidewellTest\\RegistryKey";

}  // namespace

TEST(RegistryKey, RootNamesForTheFourRootsOnly) {
    struct Case {
        HKEY root;
        const wchar_t* shortName;
        const wchar_t* longName;
    } cases[] = {
        {HKEY_CLASSES_ROOT, L"HKCR", L"HKEY_CLASSES_ROOT"},
        {HKEY_CURRENT_USER, L"HKCU", L"HKEY_CURRENT_USER"},
        {HKEY_LOCAL_MACHINE, L"HKLM", L"HKEY_LOCAL_MACHINE"},
        {HKEY_USERS, L"HKU", L"HKEY_USERS"},
        {HKEY_CURRENT_CONFIG, L"", L""},
        {nullptr, L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.shortName, rootShortName(c.root));
        EXPECT_EQ(c.longName, rootLongName(c.root));
    }
}

TEST(RegistryKey, ParsesFullPathsWithLongRootNamesOnly) {
    const HKEY untouchedRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    struct Case {
        const wchar_t* path;
        bool parsed;
        HKEY root;
        const wchar_t* subkey;
        HKEY named;  // namedRoot: a root name alone counts too
    } cases[] = {
        {L"HKEY_CURRENT_USER\\Software\\A", true, HKEY_CURRENT_USER, L"Software\\A", HKEY_CURRENT_USER},
        {L"HKEY_LOCAL_MACHINE/Software\\A\\B", true, HKEY_LOCAL_MACHINE, L"Software\\A\\B", HKEY_LOCAL_MACHINE},
        {L"HKEY_CLASSES_ROOT\\A/B", true, HKEY_CLASSES_ROOT, L"A/B", HKEY_CLASSES_ROOT},
        {L"HKEY_USERS\\", true, HKEY_USERS, L"", HKEY_USERS},
        {L"HKEY_USERS", false, untouchedRoot, L"untouched", HKEY_USERS},
        {L"HKLM\\Software\\A", false, untouchedRoot, L"untouched", nullptr},
        {L"hkey_current_user\\Software", false, untouchedRoot, L"untouched", nullptr},
        {L"HKEY_CURRENT_USERS\\Software", false, untouchedRoot, L"untouched", nullptr},
        {L"C:\\Data\\file.txt", false, untouchedRoot, L"untouched", nullptr},
        {L"", false, untouchedRoot, L"untouched", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "path " << testing::PrintToString(std::wstring(c.path)));
        HKEY root = untouchedRoot;
        std::wstring subkey = L"untouched";
        EXPECT_EQ(c.parsed, parseRegistryPath(c.path, root, subkey));
        EXPECT_EQ(c.root, root);
        EXPECT_EQ(c.subkey, subkey);
        EXPECT_EQ(c.parsed, isRegistryPath(c.path));
        EXPECT_EQ(c.named, namedRoot(c.path));
    }
}

// The Root column numbers as both registry removal and the backup's Type 2 rows read them.
TEST(RegistryKey, RootNumbersGiveRootsAndAllUsersExactlyOneMakesMinusOnePerMachine) {
    const struct {
        int number;
        const wchar_t* allUsers;
        HKEY root;
    } cases[] = {
        {-1, L"1", HKEY_LOCAL_MACHINE}, {-1, L"2", HKEY_CURRENT_USER}, {-1, L"", HKEY_CURRENT_USER},
        {-1, L"01", HKEY_CURRENT_USER}, {-1, L" 1", HKEY_CURRENT_USER}, {0, L"1", HKEY_CLASSES_ROOT},
        {1, L"1", HKEY_CURRENT_USER},   {2, L"", HKEY_LOCAL_MACHINE},   {3, L"", HKEY_USERS},
        {3, L"1", HKEY_USERS},          {7, L"", HKEY_LOCAL_MACHINE},   {9, L"", HKEY_LOCAL_MACHINE},
        {-2, L"", HKEY_LOCAL_MACHINE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.root, rootForNumber(c.number, c.allUsers)) << c.number << " with ALLUSERS '" << c.allUsers << "'";
}

TEST(RegistryKey, OpensCreatesAndDeletesValues) {
    regDeleteTree(HKEY_CURRENT_USER, kBase);
    {
        const RegistryKey absent(HKEY_CURRENT_USER, kBase + L"\\Open", IfMissing::Fail);
        EXPECT_FALSE(absent.isOpen());
        EXPECT_EQ(nullptr, absent.handle());
        EXPECT_FALSE(absent.deleteValue(L"v"));
    }
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Open")) << "opening must not create";
    {
        const RegistryKey created(L"HKEY_CURRENT_USER/" + kBase + L"\\Open", IfMissing::Create);
        ASSERT_TRUE(created.isOpen());
        EXPECT_EQ(HKEY_CURRENT_USER, created.root());
    }
    EXPECT_TRUE(regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Open"));

    regSetString(HKEY_CURRENT_USER, kBase + L"\\Open", L"", L"default");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Open", L"named", L"x");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Open", L"other", L"y");
    {
        const RegistryKey key(HKEY_CURRENT_USER, kBase + L"\\Open", IfMissing::Fail, KEY_ALL_ACCESS);
        ASSERT_TRUE(key.isOpen());
        EXPECT_TRUE(key.deleteValue(L""));
        EXPECT_TRUE(key.deleteValue(L"named"));
        EXPECT_FALSE(key.deleteValue(L"named")) << "a value that is gone";
    }
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kBase + L"\\Open", L""));
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kBase + L"\\Open", L"named"));
    EXPECT_EQ(L"y", regGetString(HKEY_CURRENT_USER, kBase + L"\\Open", L"other"));

    // A root alone with its separator opens the root itself; an unknown root opens nothing.
    const RegistryKey users(L"HKEY_USERS\\", IfMissing::Fail);
    ASSERT_TRUE(users.isOpen());
    EXPECT_EQ(HKEY_USERS, users.root());
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(users.handle(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr));
    const RegistryKey userDefault(users.handle(), L".DEFAULT", IfMissing::Fail);
    EXPECT_TRUE(userDefault.isOpen()) << "HKEY_USERS\\.DEFAULT below the opened root";
    const RegistryKey unknown(L"HKLM\\Software", IfMissing::Create);
    EXPECT_FALSE(unknown.isOpen());
    EXPECT_EQ(nullptr, unknown.root());
    regDeleteTree(HKEY_CURRENT_USER, kBase);
}

TEST(RegistryKey, SubkeyDeletionFailsOnATreeWhereTreeDeletionSucceeds) {
    regDeleteTree(HKEY_CURRENT_USER, kBase);
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Tree\\Child\\Grandchild", L"v", L"1");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Tree", L"top", L"2");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Leaf", L"v", L"3");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Sibling", L"v", L"4");

    const RegistryKey base(HKEY_CURRENT_USER, kBase, IfMissing::Fail, KEY_ALL_ACCESS);
    ASSERT_TRUE(base.isOpen());
    EXPECT_FALSE(base.deleteSubkey(L"Tree"));
    EXPECT_TRUE(regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Tree\\Child\\Grandchild"));
    EXPECT_TRUE(base.deleteSubkey(L"Leaf")) << "a subkey without subkeys goes, values and all";
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Leaf"));

    EXPECT_TRUE(deleteKeyTree(base.handle(), L"Tree"));
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Tree"));
    EXPECT_FALSE(deleteKeyTree(base.handle(), L"Tree")) << "a tree that is gone";

    // The empty subkey would name the key itself: refused, nothing below it touched.
    EXPECT_FALSE(deleteKeyTree(base.handle(), L""));
    EXPECT_EQ(L"4", regGetString(HKEY_CURRENT_USER, kBase + L"\\Sibling", L"v"));
    regDeleteTree(HKEY_CURRENT_USER, kBase);
}

// A registry link inside the tree (as a user could make one in HKEY_CURRENT_USER) goes
// itself: nothing of what it points to is deleted.
TEST(RegistryKey, TreeDeletionDeletesALinkAndNotItsTarget) {
    regDeleteTree(HKEY_CURRENT_USER, kBase);
    const std::wstring target = kBase + L"-target";
    regDeleteTree(HKEY_CURRENT_USER, target);
    regSetString(HKEY_CURRENT_USER, target + L"\\Inner", L"keep", L"1");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Tree\\Child", L"v", L"1");
    ASSERT_TRUE(regMakeLink(HKEY_CURRENT_USER, kBase + L"\\Tree\\link", regUserNativePath(target)));
    ASSERT_TRUE(regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Tree\\link\\Inner")) << "the link leads to the target";

    const RegistryKey base(HKEY_CURRENT_USER, kBase, IfMissing::Fail, KEY_ALL_ACCESS);
    ASSERT_TRUE(base.isOpen());
    EXPECT_TRUE(deleteKeyTree(base.handle(), L"Tree"));
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kBase + L"\\Tree"));
    EXPECT_EQ(L"1", regGetString(HKEY_CURRENT_USER, target + L"\\Inner", L"keep")) << "the target is untouched";
    regDeleteTree(HKEY_CURRENT_USER, kBase);
    regDeleteTree(HKEY_CURRENT_USER, target);
}

TEST(RegistryKey, CopyKeyTreeCopiesValuesAndSubkeysIntoTheDestination) {
    regDeleteTree(HKEY_CURRENT_USER, kBase);
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Source\\Tree", L"", L"default");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Source\\Tree", L"top", L"1");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Source\\Tree\\Child\\Grandchild", L"deep", L"2");
    regSetString(HKEY_CURRENT_USER, kBase + L"\\Destination", L"kept", L"3");

    const RegistryKey source(HKEY_CURRENT_USER, kBase + L"\\Source", IfMissing::Fail);
    const RegistryKey destination(L"HKEY_CURRENT_USER\\" + kBase + L"\\Destination", IfMissing::Create);
    ASSERT_TRUE(source.isOpen());
    ASSERT_TRUE(destination.isOpen());
    EXPECT_TRUE(copyKeyTree(source.handle(), L"Tree", destination.handle()).copied());

    const std::wstring copy = kBase + L"\\Destination";
    EXPECT_EQ(L"default", regGetString(HKEY_CURRENT_USER, copy, L""));
    EXPECT_EQ(L"1", regGetString(HKEY_CURRENT_USER, copy, L"top"));
    EXPECT_EQ(L"2", regGetString(HKEY_CURRENT_USER, copy + L"\\Child\\Grandchild", L"deep"));
    EXPECT_EQ(L"3", regGetString(HKEY_CURRENT_USER, copy, L"kept"));
    EXPECT_EQ(L"2", regGetString(HKEY_CURRENT_USER, kBase + L"\\Source\\Tree\\Child\\Grandchild", L"deep"))
        << "the source stays";
    EXPECT_FALSE(copyKeyTree(source.handle(), L"Missing", destination.handle()).copied());
    regDeleteTree(HKEY_CURRENT_USER, kBase);
}

namespace {

// Two registry links to one target: one planted in a key any account can write ("open"),
// one in a key only trusted accounts can write ("closed", as the system's own links
// are). The target holds Inner\Deep with values. Links are deleted first on the way out.
struct LinkFixture {
    const std::wstring base = kBase + L"Links";
    const std::wstring target = kBase + L"LinkTarget";
    LinkFixture() {
        clear();
        regSetString(HKEY_CURRENT_USER, target, L"keep", L"1");
        regSetString(HKEY_CURRENT_USER, target + L"\\Inner\\Deep", L"deep", L"2");
        regSetString(HKEY_CURRENT_USER, base + L"\\Open", L"v", L"o");
        regSetString(HKEY_CURRENT_USER, base + L"\\Closed", L"v", L"c");
        ok = regLetEveryoneWrite(HKEY_CURRENT_USER, base + L"\\Open") &&
             regMakeLink(HKEY_CURRENT_USER, base + L"\\Open\\link", regUserNativePath(target)) &&
             regMakeLink(HKEY_CURRENT_USER, base + L"\\Closed\\link", regUserNativePath(target)) &&
             regKeyExists(HKEY_CURRENT_USER, base + L"\\Open\\link\\Inner\\Deep");
    }
    ~LinkFixture() { clear(); }
    void clear() const {
        for (const wchar_t* link : {L"\\Open\\link", L"\\Closed\\link"}) regDeleteLink(HKEY_CURRENT_USER, base + link);
        regDeleteTree(HKEY_CURRENT_USER, base);
        regDeleteTree(HKEY_CURRENT_USER, target);
    }
    // The target as it was laid down, and nothing added.
    void expectTargetUntouched() const {
        EXPECT_EQ(L"1", regGetString(HKEY_CURRENT_USER, target, L"keep"));
        EXPECT_EQ(L"2", regGetString(HKEY_CURRENT_USER, target + L"\\Inner\\Deep", L"deep"));
        EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, target + L"\\Inner\\New"));
        EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, target + L"\\Copied"));
    }
    bool ok = false;
};

}  // namespace

// Every key on the way, the key itself included, is opened as itself: a link that any
// account could have planted stops the open there (opening or creating) and is named; a
// link only trusted accounts could have made is followed, as the system's own are.
TEST(RegistryKey, ALinkOnTheWayIsFollowedOnlyWhenTrustedAccountsAloneCouldHaveMadeIt) {
    const LinkFixture links;
    ASSERT_TRUE(links.ok);
    const std::wstring open = links.base + L"\\Open\\link";
    struct Case {
        const char* what;
        std::wstring subkey;
        IfMissing ifMissing;
        bool opens;
    } cases[] = {
        {"the key itself is the link", open, IfMissing::Fail, false},
        {"at the parent", open + L"\\Inner", IfMissing::Fail, false},
        {"at the grandparent", open + L"\\Inner\\Deep", IfMissing::Fail, false},
        {"at the parent of a key to create", open + L"\\Inner\\New", IfMissing::Create, false},
        {"a trusted link at the grandparent", links.base + L"\\Closed\\link\\Inner\\Deep", IfMissing::Fail, true},
    };
    for (const auto& c : cases) {
        const RegistryKey key(HKEY_CURRENT_USER, c.subkey, c.ifMissing);
        EXPECT_EQ(c.opens, key.isOpen()) << c.what;
        EXPECT_EQ(c.opens ? ERROR_SUCCESS : kRegistryLinkError, key.error()) << c.what;
        EXPECT_EQ(c.opens ? L"" : open, key.linkOnTheWay()) << c.what;
    }
    links.expectTargetUntouched();
    const RegistryKey through(HKEY_CURRENT_USER, links.base + L"\\Closed\\link\\Inner\\Deep", IfMissing::Fail);
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(through.handle(), L"deep", nullptr, nullptr, nullptr, &size))
        << "the trusted link led to its target";
    {
        const RegistryKey base(HKEY_CURRENT_USER, links.base, IfMissing::Fail, KEY_ALL_ACCESS);
        EXPECT_FALSE(deleteKeyTree(base.handle(), L"Open\\link\\Inner")) << "a deletion below the link";
    }
    links.expectTargetUntouched();
    // The system's own: HKLM\Software\Classes of the 32-bit view is reached through the
    // link Software\Wow6432Node\Classes (in this prefix as on 64-bit Windows).
    const RegistryKey classes(HKEY_LOCAL_MACHINE, L"Software\\Classes", IfMissing::Fail, KEY_WOW64_32KEY);
    EXPECT_TRUE(classes.isOpen()) << classes.error();
}

// Inside a copied tree no link is followed either way: one in the source is left out and
// counted, a source that is a link is not copied, and one in the destination where a
// subkey goes fails the copy instead of receiving it.
TEST(RegistryKey, AKeyCopyNeverFollowsALink) {
    const LinkFixture links;
    ASSERT_TRUE(links.ok);
    regSetString(HKEY_CURRENT_USER, links.base + L"\\Source\\Copied", L"v", L"new");
    regSetString(HKEY_CURRENT_USER, links.base + L"\\Source", L"top", L"1");
    ASSERT_TRUE(regMakeLink(HKEY_CURRENT_USER, links.base + L"\\Source\\inside", regUserNativePath(links.target)));
    ASSERT_TRUE(regMakeLink(HKEY_CURRENT_USER, links.base + L"\\Into\\Copied", regUserNativePath(links.target)));
    regSetString(HKEY_CURRENT_USER, links.base + L"\\Clean", L"", L"");
    const RegistryKey base(HKEY_CURRENT_USER, links.base, IfMissing::Fail);
    const RegistryKey clean(HKEY_CURRENT_USER, links.base + L"\\Clean", IfMissing::Create);
    const RegistryKey into(HKEY_CURRENT_USER, links.base + L"\\Into", IfMissing::Create);
    struct Case {
        const char* what;
        std::wstring subkey;
        HKEY destination;
        KeyCopyResult result;
        LONG error;
        unsigned long linksLeftOut;
    } cases[] = {
        {"a link inside the source", L"Source", clean.handle(), KeyCopyResult::Copied, ERROR_SUCCESS, 1},
        {"the source is a link", L"Closed\\link", clean.handle(), KeyCopyResult::SourceIsLink, ERROR_SUCCESS, 0},
        {"a link on the source's way", L"Open\\link\\Inner", clean.handle(), KeyCopyResult::Failed, kRegistryLinkError, 0},
        {"a link in the destination", L"Source", into.handle(), KeyCopyResult::Failed, kRegistryLinkError, 0},
    };
    for (const auto& c : cases) {
        const KeyCopy copy = copyKeyTree(base.handle(), c.subkey, c.destination);
        EXPECT_EQ(c.result, copy.result) << c.what;
        EXPECT_EQ(c.error, copy.error) << c.what;
        EXPECT_EQ(c.linksLeftOut, copy.linksLeftOut) << c.what;
    }
    EXPECT_EQ(L"new", regGetString(HKEY_CURRENT_USER, links.base + L"\\Clean\\Copied", L"v"));
    EXPECT_EQ(L"1", regGetString(HKEY_CURRENT_USER, links.base + L"\\Clean", L"top"));
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, links.base + L"\\Clean\\inside")) << "the link was left out";
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, links.base + L"\\Clean\\Inner")) << "nothing of its target came along";
    links.expectTargetUntouched();
    regDeleteLink(HKEY_CURRENT_USER, links.base + L"\\Source\\inside");
    regDeleteLink(HKEY_CURRENT_USER, links.base + L"\\Into\\Copied");
}

namespace {

// base\k\k\...: a chain of the given number of keys below base, with a value at the bottom.
bool buildChain(const std::wstring& base, int levels) {
    unique_hkey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, base.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kLibraryView, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    for (int level = 0; level < levels; ++level) {
        unique_hkey next;
        if (RegCreateKeyExW(key.get(), L"k", 0, nullptr, 0, KEY_ALL_ACCESS | kLibraryView, nullptr, next.put(), nullptr) !=
            ERROR_SUCCESS)
            return false;
        key = std::move(next);
    }
    return RegSetValueExW(key.get(), L"bottom", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"b"), 4) == ERROR_SUCCESS;
}

std::wstring chainBottom(const std::wstring& base, int levels) {
    std::wstring key = base;
    for (int level = 0; level < levels; ++level) key += L"\\k";
    return key;
}

// The stack a call uses, measured on a thread of its own with the default reserve of a
// thread (1 MB): the stack below the measuring frame is filled with a pattern first, and
// the deepest byte that changed tells how far the call went.
struct StackRun {
    std::function<void()> call;
    size_t used = 0;
};
constexpr size_t kPainted = 640 * 1024;

DWORD WINAPI runOnPaintedStack(void* parameter) {
    auto* run = static_cast<StackRun*>(parameter);
    volatile unsigned char here = 0;
    auto* top = reinterpret_cast<volatile unsigned char*>(reinterpret_cast<uintptr_t>(&here) - 1024);
    // Downward, one byte after the other, so that each page is reached after the one above.
    for (size_t i = 0; i < kPainted; ++i) top[-static_cast<ptrdiff_t>(i)] = 0xA5;
    run->call();
    size_t deepest = kPainted;
    while (deepest > 0 && top[-static_cast<ptrdiff_t>(deepest - 1)] == 0xA5) --deepest;
    run->used = deepest + 1024;
    return 0;
}

size_t stackUsedBy(std::function<void()> call) {
    StackRun run{std::move(call)};
    const unique_handle thread(
        CreateThread(nullptr, 1 << 20, runOnPaintedStack, &run, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread || WaitForSingleObject(thread.get(), 120000) != WAIT_OBJECT_0) return 0;
    return run.used;
}

}  // namespace

// The key walks go kDeepestKey keys deep (as deep as Windows nests keys) and no deeper:
// a deeper tree is not copied, and its deletion leaves the keys below the bound (and
// above them) in place. At the bound, a walk's stack stays far below the 1 MB a thread
// reserves by default (the installer's action thread included); the figures are printed.
TEST(RegistryKey, KeyWalksStopAtTheirBoundWithinTheStack) {
    const std::wstring base = kBase + L"Deep";
    regDeleteTree(HKEY_CURRENT_USER, base);
    regSetString(HKEY_CURRENT_USER, base + L"Copy", L"", L"");
    const RegistryKey parent(HKEY_CURRENT_USER, kBase.substr(0, kBase.rfind(L'\\')), IfMissing::Fail, KEY_ALL_ACCESS);
    const std::wstring leaf = kBase.substr(kBase.rfind(L'\\') + 1) + L"Deep";
    ASSERT_TRUE(parent.isOpen());
    struct Walk {
        const char* what;
        std::function<bool()> run;
    } walks[] = {
        {"copy", [&] {
             const RegistryKey copy(HKEY_CURRENT_USER, base + L"Copy", IfMissing::Create);
             const KeyCopy made = copyKeyTree(parent.handle(), leaf, copy.handle());
             regDeleteTree(HKEY_CURRENT_USER, base + L"Copy\\k");
             EXPECT_TRUE(made.copied() || made.error == kTooDeepError) << made.error;
             return made.copied();
         }},
        {"deletion", [&] { return deleteKeyTree(parent.handle(), leaf); }},
    };
    for (const auto& walk : walks) {
        SCOPED_TRACE(walk.what);
        ASSERT_TRUE(buildChain(base, kDeepestKey + 1));
        EXPECT_FALSE(walk.run()) << "a tree deeper than the bound";
        EXPECT_TRUE(regValueExists(HKEY_CURRENT_USER, chainBottom(base, kDeepestKey + 1), L"bottom"));
        regDeleteTree(HKEY_CURRENT_USER, base);

        size_t used[2] = {};
        const int levels[2] = {1, kDeepestKey};
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(buildChain(base, levels[i]));
            bool walked = false;
            used[i] = stackUsedBy([&] { walked = walk.run(); });
            EXPECT_TRUE(walked) << levels[i] << " levels";
            regDeleteTree(HKEY_CURRENT_USER, base);
        }
        ASSERT_GT(used[0], 0u);
        const size_t perLevel = (used[1] - used[0]) / (kDeepestKey - 1);
        std::cout << "[ stack    ] " << walk.what << ": " << used[0] << " bytes at 1 level, " << used[1] << " at "
                  << kDeepestKey << " levels, " << perLevel << " bytes per level\n";
        EXPECT_LT(used[1], 256u * 1024) << "a quarter of the thread's reserve";
    }
    regDeleteTree(HKEY_CURRENT_USER, base + L"Copy");
}

TEST(RegistryKey, TreeDeletionStaysInTheViewTheParentWasOpenedIn) {
    // HKLM\Software is where the 32-bit and 64-bit views part: every step of the tree
    // deletion must stay in the view asked for, not the default view of this 32-bit
    // process. (Wine keeps a parent handle's view for relative opens and deletions, so
    // here this also holds for a view left out.)
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) regDeleteTree(HKEY_LOCAL_MACHINE, L"Software\\TidewellView", view);
    for (const auto& [view, text] : {std::pair{KEY_WOW64_64KEY, L"64"}, std::pair{KEY_WOW64_32KEY, L"32"}})
        for (const wchar_t* key : {L"Software\\TidewellView\\Sub\\Deep", L"Software\\TidewellView\\Other"})
            regSetString(HKEY_LOCAL_MACHINE, key, L"v", text, view);
    {
        const RegistryKey software(HKEY_LOCAL_MACHINE, L"Software", IfMissing::Fail,
                                   KEY_ALL_ACCESS | viewAccess(RegistryView::Native));
        ASSERT_TRUE(software.isOpen());
        EXPECT_TRUE(deleteKeyTree(software.handle(), L"TidewellView", viewAccess(RegistryView::Native)));
    }
    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, L"Software\\TidewellView", KEY_WOW64_64KEY));
    EXPECT_EQ(L"32", regGetString(HKEY_LOCAL_MACHINE, L"Software\\TidewellView\\Sub\\Deep", L"v", KEY_WOW64_32KEY));
    EXPECT_EQ(L"32", regGetString(HKEY_LOCAL_MACHINE, L"Software\\TidewellView\\Other", L"v", KEY_WOW64_32KEY));
    regDeleteTree(HKEY_LOCAL_MACHINE, L"Software\\TidewellView", KEY_WOW64_32KEY);
}

TEST(RegistryKey, Wow64AnswerViewAccessAndViewNamesOfEachBuild) {
    BOOL direct = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &direct));
    EXPECT_EQ(direct != FALSE, isWow64());
    // The test prefix is 64-bit Windows. The same two views for both builds: the library's
    // own is the 32-bit view (the 32-bit build's default, asked for by the 64-bit one),
    // the native one is the 64-bit view.
    const struct {
        RegistryView view;
        REGSAM access32, access64;
        const wchar_t* name;
    } cases[] = {
        {RegistryView::Own, 0, KEY_WOW64_32KEY, L"32-bit view"},
        {RegistryView::Native, KEY_WOW64_64KEY, KEY_WOW64_64KEY, L"native 64-bit view"},
    };
    const bool build64 = sizeof(void*) == 8;
    EXPECT_EQ(!build64, direct != FALSE) << "a 32-bit test program runs under WOW64, a 64-bit one does not";
    for (const auto& c : cases) {
        EXPECT_EQ(build64 ? c.access64 : c.access32, viewAccess(c.view)) << toUtf8(c.name);
        EXPECT_EQ(c.name, viewName(c.view));
    }
}

namespace {
int g_asked = 0;
std::optional<bool> answerYes() {
    ++g_asked;
    return true;
}
std::optional<bool> cannotAskTwiceThenNo() {
    return ++g_asked <= 2 ? std::nullopt : std::optional<bool>(false);
}
}  // namespace

TEST(RegistryKey, CachedAnswerAsksOnceAndRetriesWhenTheQuestionCouldNotBeAsked) {
    g_asked = 0;
    CachedAnswer yes(answerYes);
    EXPECT_TRUE(yes.get());
    EXPECT_TRUE(yes.get());
    EXPECT_TRUE(yes.get());
    EXPECT_EQ(1, g_asked);

    g_asked = 0;
    CachedAnswer late(cannotAskTwiceThenNo);
    EXPECT_FALSE(late.get());
    EXPECT_FALSE(late.get());
    EXPECT_FALSE(late.get());
    EXPECT_FALSE(late.get());
    EXPECT_EQ(3, g_asked) << "asked until it could be answered, then never again";
}

TEST(RegistryKey, SubkeyPathsWithAnEmptyComponent) {
    const struct {
        const wchar_t* subkey;
        bool empty;
    } cases[] = {
        {L"Software\\Vendor\\App", false}, {L"Top", false},           {L"", true},
        {L"Software\\Vendor\\", true},     {L"\\Software", true},     {L"Software\\\\App", true},
        {L"\\", true},
    };
    for (const auto& c : cases) EXPECT_EQ(c.empty, hasEmptyComponent(c.subkey)) << toUtf8(c.subkey);
}
