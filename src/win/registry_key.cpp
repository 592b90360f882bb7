#include "win/registry_key.h"

#include <aclapi.h>

#include <algorithm>
#include <array>
#include <vector>

#include "win/fault_seam.h"
#include "win/paths.h"
#include "win/protected_security.h"
#include "win/system_function.h"

namespace tidewell {
namespace {

struct RootName {
    HKEY root;
    const wchar_t* shortName;
    const wchar_t* longName;
};

const std::array<RootName, 4>& rootNames() {
    static const std::array<RootName, 4> names{{
        {HKEY_CLASSES_ROOT, L"HKCR", L"HKEY_CLASSES_ROOT"},
        {HKEY_CURRENT_USER, L"HKCU", L"HKEY_CURRENT_USER"},
        {HKEY_LOCAL_MACHINE, L"HKLM", L"HKEY_LOCAL_MACHINE"},
        {HKEY_USERS, L"HKU", L"HKEY_USERS"},
    }};
    return names;
}

const RootName* findRoot(HKEY root) {
    for (const auto& name : rootNames())
        if (name.root == root) return &name;
    return nullptr;
}

// advapi32 is always loaded with the library; its newer tree functions (Vista and
// later) are looked up each time rather than imported, so older systems use the
// shell's equivalents.
template <typename Function>
Function advapiFunction(const char* name) {
    return systemFunction<Function>(L"Advapi32.dll", name);
}

using RegDeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);

// kernel32 is held for as long as the library is loaded once the WOW64 question has
// been asked; IsWow64Process is missing on systems older than XP SP2 (no WOW64 there).
unique_hmodule g_kernel32;

std::optional<bool> askWow64() {
    if (!g_kernel32) g_kernel32.reset(::LoadLibraryW(L"kernel32.dll"));
    if (!g_kernel32) return std::nullopt;
    const auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(
        reinterpret_cast<void*>(::GetProcAddress(g_kernel32.get(), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

// Process-wide and without a lock: two first calls racing would ask and store the same answer.
CachedAnswer g_wow64(askWow64);

}  // namespace

std::wstring rootShortName(HKEY root) {
    const RootName* name = findRoot(root);
    return name ? name->shortName : L"";
}

std::wstring rootLongName(HKEY root) {
    const RootName* name = findRoot(root);
    return name ? name->longName : L"";
}

HKEY rootForNumber(int number, const std::wstring& allUsers) {
    switch (number) {
    case -1: return allUsers == L"1" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    case 0: return HKEY_CLASSES_ROOT;
    case 1: return HKEY_CURRENT_USER;
    case 2: return HKEY_LOCAL_MACHINE;
    case 3: return HKEY_USERS;
    default: return HKEY_LOCAL_MACHINE;
    }
}

HKEY namedRoot(const std::wstring& text) {
    const std::wstring rootText = text.substr(0, text.find_first_of(L"\\/"));
    for (const auto& name : rootNames())
        if (rootText == name.longName) return name.root;
    return nullptr;
}

bool parseRegistryPath(const std::wstring& path, HKEY& root, std::wstring& subkey) {
    const size_t separator = path.find_first_of(L"\\/");
    if (separator == std::wstring::npos) return false;
    const HKEY named = namedRoot(path);
    if (named == nullptr) return false;
    root = named;
    subkey = path.substr(separator + 1);
    return true;
}

bool isRegistryPath(const std::wstring& text) {
    HKEY root = nullptr;
    std::wstring subkey;
    return parseRegistryPath(text, root, subkey);
}

bool CachedAnswer::get() {
    if (known_) return value_;
    const std::optional<bool> answer = question_();
    if (!answer) return false;
    value_ = *answer;
    known_ = true;
    return value_;
}

bool isWow64() { return g_wow64.get(); }

REGSAM viewAccess(RegistryView view) {
#if defined(_WIN64)
    // The native view is this process's default; it is named all the same, because no
    // view bits at all means the library's own view to RegistryKey and deleteKeyTree.
    return view == RegistryView::Native ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
#else
    return view == RegistryView::Native && isWow64() ? KEY_WOW64_64KEY : 0;
#endif
}

std::wstring viewName(RegistryView view) {
#if !defined(_WIN64)
    if (!isWow64()) return {};
#endif
    return view == RegistryView::Native ? L"native 64-bit view" : L"32-bit view";
}

namespace {

constexpr REGSAM kViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// The view bits asked for, or the library's own view when none are.
REGSAM withView(REGSAM access) { return (access & kViewBits) ? access : access | viewAccess(RegistryView::Own); }

// Deletes one key without subkeys in the view given; RegDeleteKeyW would pick the view
// of the process, whatever view its parent handle was opened in. RegDeleteKeyExW is
// missing only where there is no other view (32-bit XP), and there the view is 0.
bool deleteKeyInView(HKEY key, const std::wstring& subkey, REGSAM view) {
    if (view != 0) {
        if (const auto regDeleteKeyEx = advapiFunction<RegDeleteKeyExFunction>("RegDeleteKeyExW"))
            return seamRegistry([&] { return regDeleteKeyEx(key, subkey.c_str(), view, 0); }) == ERROR_SUCCESS;
    }
    return seamRegistry([&] { return ::RegDeleteKeyW(key, subkey.c_str()); }) == ERROR_SUCCESS;
}

// Whether a component is opened as itself or, a trusted link, as what it points to.
enum class LinkOpen { AsItself, Followed };

// Opens (or creates) one key below the parent; made tells whether Create made it new.
LONG openComponent(HKEY parent, const std::wstring& name, IfMissing ifMissing, REGSAM access, LinkOpen how,
                   unique_hkey& key, bool* made = nullptr) {
    const DWORD asItself = how == LinkOpen::AsItself ? REG_OPTION_OPEN_LINK : 0;
    DWORD disposition = 0;
    const LONG opened = seamRegistry([&] {
        return ifMissing == IfMissing::Create
                   ? ::RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE | asItself, access,
                                       nullptr, key.put(), &disposition)
                   : ::RegOpenKeyExW(parent, name.c_str(), asItself, access, key.put());
    });
    if (made) *made = opened == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return opened;
}

// A registry link (REG_OPTION_CREATE_LINK), opened as itself, names its target in
// SymbolicLinkValue. ERROR_SUCCESS with the answer, or the error that kept it unknown.
LONG askIsLink(HKEY key, bool& link) {
    DWORD type = 0, size = 0;
    const LONG asked = seamRegistry(
        [&] { return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, &size); });
    link = (asked == ERROR_SUCCESS || asked == ERROR_MORE_DATA) && type == REG_LINK;
    return asked == ERROR_FILE_NOT_FOUND || asked == ERROR_MORE_DATA ? ERROR_SUCCESS : asked;
}

// A link only trusted accounts could have made or aimed elsewhere: its owner is trusted,
// and nobody else can write it or the key that holds it (the system's own links, such as
// CurrentControlSet or the 32-bit view's Classes). One below a root key is not trusted:
// the root's security is not read here.
bool isTrustedLink(HKEY parent, HKEY link) {
    return isTrustedObject(link, SE_REGISTRY_KEY) && onlyTrustedCanWrite(parent, SE_REGISTRY_KEY);
}

std::vector<std::wstring> components(const std::wstring& subkey) {
    std::vector<std::wstring> names;
    for (size_t start = 0; start <= subkey.size();) {
        size_t end = subkey.find(L'\\', start);
        if (end == std::wstring::npos) end = subkey.size();
        if (end > start) names.push_back(subkey.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// The keys above the last one of a path are opened to find the next only, and to see
// whether a link they are is trusted.
constexpr REGSAM kOnTheWay = KEY_QUERY_VALUE | READ_CONTROL;

// The keys of one walk, each held while the walk goes on, and which of them it made.
struct Walked {
    struct Key {
        std::wstring name;
        unique_hkey key;
        bool made = false;
    };
    HKEY root;
    REGSAM view;
    std::vector<Key> keys;

    HKEY last() const { return keys.empty() ? root : keys.back().key.get(); }
    // A walk that failed takes back the keys it made (the deepest first), so that a
    // failure leaves the registry as it found it.
    LONG fail(LONG error) {
        for (size_t i = keys.size(); i-- > 0;) {
            if (!keys[i].made) continue;
            keys[i].key.reset();
            deleteKeyInView(i == 0 ? root : keys[i - 1].key.get(), keys[i].name, view);
        }
        keys.clear();
        return error;
    }
};

// Opens subkey below root one key at a time, each as itself first; a link on the way is
// followed when trusted and stops the walk otherwise (linkAt then names it). The last key
// is opened with the access asked for.
LONG openWalking(HKEY root, const std::wstring& subkey, IfMissing ifMissing, REGSAM access, unique_hkey& key,
                 std::wstring& linkAt) {
    const REGSAM view = access & kViewBits;
    const std::vector<std::wstring> names = components(subkey);
    if (names.empty())
        return seamRegistry([&] { return ::RegOpenKeyExW(root, nullptr, 0, access, key.put()); });
    Walked walked{root, view, {}};
    std::wstring path;
    for (size_t i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        const REGSAM wanted = (last ? access | kOnTheWay : kOnTheWay | view) |
                              (ifMissing == IfMissing::Create && !last ? KEY_CREATE_SUB_KEY : 0);
        const HKEY from = walked.last();
        path += (i == 0 ? L"" : L"\\") + names[i];
        walked.keys.push_back({names[i], {}, false});
        Walked::Key& next = walked.keys.back();
        if (const LONG opened = openComponent(from, names[i], ifMissing, wanted, LinkOpen::AsItself, next.key, &next.made))
            return walked.fail(opened);
        bool link = false;
        if (const LONG asked = askIsLink(next.key.get(), link)) return walked.fail(asked);
        if (!link) continue;
        if (i == 0 || !isTrustedLink(from, next.key.get())) {
            linkAt = path;
            return walked.fail(kRegistryLinkError);
        }
        if (const LONG opened = openComponent(from, names[i], ifMissing, wanted, LinkOpen::Followed, next.key))
            return walked.fail(opened);
    }
    key = std::move(walked.keys.back().key);
    return ERROR_SUCCESS;
}

}  // namespace

RegistryKey::RegistryKey(HKEY root, const std::wstring& subkey, IfMissing ifMissing, REGSAM extraAccess) {
    open(root, subkey, ifMissing, extraAccess);
}

RegistryKey::RegistryKey(const std::wstring& fullPath, IfMissing ifMissing, REGSAM extraAccess) {
    HKEY root = nullptr;
    std::wstring subkey;
    if (parseRegistryPath(fullPath, root, subkey)) open(root, subkey, ifMissing, extraAccess);
}

void RegistryKey::open(HKEY root, const std::wstring& subkey, IfMissing ifMissing, REGSAM extraAccess) {
    root_ = root;
    extraAccess = withView(extraAccess);
    view_ = extraAccess & kViewBits;
    const REGSAM access = (ifMissing == IfMissing::Create ? KEY_ALL_ACCESS : KEY_READ) | extraAccess;
    error_ = openWalking(root, subkey, ifMissing, access, key_, linkOnTheWay_);
    if (error_ != ERROR_SUCCESS) key_.reset();
}

bool RegistryKey::deleteValue(const std::wstring& name) const {
    return isOpen() && seamRegistry([&] { return ::RegDeleteValueW(handle(), name.c_str()); }) == ERROR_SUCCESS;
}

bool RegistryKey::deleteSubkey(const std::wstring& name) const { return isOpen() && deleteKeyInView(handle(), name, view_); }

bool hasEmptyComponent(const std::wstring& subkey) {
    return subkey.empty() || subkey.front() == L'\\' || subkey.back() == L'\\' ||
           subkey.find(L"\\\\") != std::wstring::npos;
}

namespace {

using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);

// Deletes the key the handle holds (opened with DELETE): no second lookup by name, which
// could meet another key, or a link, by then.
bool deleteOpenedKey(HKEY key) {
    const auto deleteKey = systemFunction<NtDeleteKeyFunction>(L"ntdll.dll", "NtDeleteKey");
    return deleteKey != nullptr && seamRegistry([&] { return deleteKey(key) >= 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED; }) ==
                                       ERROR_SUCCESS;
}

// The names of a key's subkeys; false when the listing was cut short. One name buffer
// serves the whole walk, off the stack.
bool listSubkeys(HKEY key, std::wstring& buffer, std::vector<std::wstring>& names) {
    buffer.resize(256);  // the longest key name is 255 characters
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LONG listed = seamRegistry(
            [&] { return ::RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr); });
        if (listed == ERROR_NO_MORE_ITEMS) return true;
        if (listed != ERROR_SUCCESS) return false;
        names.emplace_back(buffer.data(), length);
    }
}

// Depth first, every open naming the view (RegDeleteTreeW and SHDeleteKeyW delete the
// last key with RegDeleteKeyW, in the process's own view), every key opened as itself: a
// registry link is deleted, never followed into its target.
bool deleteTreeBelow(HKEY key, const std::wstring& subkey, REGSAM view, int depth, std::wstring& buffer) {
    if (depth > kDeepestKey) return false;
    unique_hkey tree;
    if (seamRegistry([&] {
            return ::RegOpenKeyExW(key, subkey.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE | view, tree.put());
        }) != ERROR_SUCCESS)
        return false;
    bool link = false;
    if (askIsLink(tree.get(), link) != ERROR_SUCCESS) return false;
    if (link) return deleteOpenedKey(tree.get());
    bool all = true;
    {
        // A listing cut short would leave keys that the deletion of their parent then trips on.
        std::vector<std::wstring> children;
        if (!listSubkeys(tree.get(), buffer, children)) return false;
        for (const auto& child : children) all = deleteTreeBelow(tree.get(), child, view, depth + 1, buffer) && all;
    }
    return all && deleteOpenedKey(tree.get());
}

}  // namespace

bool deleteKeyTree(HKEY key, const std::wstring& subkey, REGSAM view) {
    if (subkey.empty()) return false;
    view = withView(view & kViewBits);
    const PathParts parts = splitAtLastBackslash(subkey);
    if (parts.leaf.empty()) return false;
    std::wstring buffer;
    if (parts.parent.empty()) return deleteTreeBelow(key, parts.leaf, view, 0, buffer);
    const RegistryKey parent(key, parts.parent, IfMissing::Fail, view);
    return parent.isOpen() && deleteTreeBelow(parent.handle(), parts.leaf, view, 0, buffer);
}

namespace {

// Every value of one key into the other, sized as the key says and asked again when a
// value grew in between.
LONG copyValues(HKEY from, HKEY to) {
    DWORD longestName = 0, largestData = 0;
    if (const LONG asked = seamRegistry([&] {
            return ::RegQueryInfoKeyW(from, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                                      &largestData, nullptr, nullptr);
        }))
        return asked;
    std::wstring name(longestName + 1, L'\0');
    std::vector<BYTE> data(largestData + 1);
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        const LONG read = seamRegistry([&] {
            return ::RegEnumValueW(from, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        });
        if (read == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (read == ERROR_MORE_DATA) {
            name.resize(std::max<size_t>(name.size() * 2, 256) + 1);
            data.resize(std::max<size_t>(data.size() * 2, size + 1));
            continue;  // the same index again
        }
        if (read != ERROR_SUCCESS) return read;
        if (const LONG written = seamRegistry([&] {
                return ::RegSetValueExW(to, std::wstring(name.data(), nameLength).c_str(), 0, type, data.data(), size);
            }))
            return written;
        ++index;
    }
}

struct CopyWalk {
    REGSAM view;
    std::wstring buffer;
    KeyCopy outcome;
};

// Copies the opened key's values and subkeys into the destination, one key at a time,
// each source subkey and each destination subkey opened as itself.
bool copyTreeBelow(HKEY from, HKEY to, int depth, CopyWalk& walk) {
    const auto fail = [&walk](LONG error) {
        walk.outcome = {KeyCopyResult::Failed, error, walk.outcome.linksLeftOut};
        return false;
    };
    if (depth > kDeepestKey) return fail(kTooDeepError);
    if (const LONG copied = copyValues(from, to)) return fail(copied);
    std::vector<std::wstring> children;
    if (!listSubkeys(from, walk.buffer, children)) return fail(ERROR_CANTREAD);
    for (const auto& child : children) {
        unique_hkey source, destination;
        if (const LONG opened = openComponent(from, child, IfMissing::Fail, KEY_READ | walk.view, LinkOpen::AsItself, source))
            return fail(opened);
        bool link = false;
        if (const LONG asked = askIsLink(source.get(), link)) return fail(asked);
        if (link) {
            ++walk.outcome.linksLeftOut;
            continue;
        }
        if (const LONG made = openComponent(to, child, IfMissing::Create, KEY_ALL_ACCESS | walk.view, LinkOpen::AsItself,
                                            destination))
            return fail(made);
        if (const LONG asked = askIsLink(destination.get(), link)) return fail(asked);
        if (link) return fail(kRegistryLinkError);
        if (!copyTreeBelow(source.get(), destination.get(), depth + 1, walk)) return false;
    }
    return true;
}

}  // namespace

KeyCopy copyKeyTree(HKEY source, const std::wstring& subkey, HKEY destination, REGSAM view) {
    CopyWalk walk{withView(view & kViewBits), {}, {}};
    const PathParts parts = splitAtLastBackslash(subkey);
    unique_hkey from;
    if (!parts.parent.empty()) {
        const RegistryKey parent(source, parts.parent, IfMissing::Fail, walk.view);
        if (!parent.isOpen()) return {KeyCopyResult::Failed, parent.error()};
        if (const LONG opened = openComponent(parent.handle(), parts.leaf, IfMissing::Fail, KEY_READ | walk.view,
                                              LinkOpen::AsItself, from))
            return {KeyCopyResult::Failed, opened};
    } else if (const LONG opened = openComponent(source, parts.leaf, IfMissing::Fail, KEY_READ | walk.view,
                                                 LinkOpen::AsItself, from)) {
        return {KeyCopyResult::Failed, opened};
    }
    bool link = false;
    if (const LONG asked = askIsLink(from.get(), link)) return {KeyCopyResult::Failed, asked};
    if (link) return {KeyCopyResult::SourceIsLink};
    walk.outcome.result = KeyCopyResult::Copied;
    copyTreeBelow(from.get(), destination, 0, walk);
    return walk.outcome;
}

}  // namespace tidewell
