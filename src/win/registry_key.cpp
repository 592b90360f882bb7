#include "win/registry_key.h"

#include <shlwapi.h>

#include <array>
#include <vector>

#include "win/fault_seam.h"
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

using RegCopyTreeFunction = LONG(WINAPI*)(HKEY, LPCWSTR, HKEY);
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
    if (ifMissing == IfMissing::Create) {
        error_ = seamRegistry([&] {
            return ::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS | extraAccess, nullptr, key_.put(), nullptr);
        });
    } else {
        error_ = seamRegistry([&] { return ::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | extraAccess, key_.put()); });
    }
}

bool RegistryKey::deleteValue(const std::wstring& name) const {
    return isOpen() && seamRegistry([&] { return ::RegDeleteValueW(handle(), name.c_str()); }) == ERROR_SUCCESS;
}


bool copyKeyTree(HKEY source, const std::wstring& subkey, HKEY destination) {
    if (seamFails(SeamCall::Registry)) return false;
    if (const auto regCopyTree = advapiFunction<RegCopyTreeFunction>("RegCopyTreeW"))
        return regCopyTree(source, subkey.c_str(), destination) == ERROR_SUCCESS;
    return ::SHCopyKeyW(source, subkey.c_str(), destination, 0) == ERROR_SUCCESS;
}

namespace {

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

}  // namespace

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

// A registry link (REG_OPTION_CREATE_LINK): opened as itself, it names its target in
// SymbolicLinkValue.
bool isLinkKey(HKEY key) {
    DWORD type = 0, size = 0;
    return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
           type == REG_LINK;
}

}  // namespace

// Depth first, every open naming the view (RegDeleteTreeW and SHDeleteKeyW delete the
// last key with RegDeleteKeyW, in the process's own view), every key opened as itself: a
// registry link is deleted, never followed into its target.
bool deleteKeyTree(HKEY key, const std::wstring& subkey, REGSAM view) {
    if (subkey.empty()) return false;
    view = withView(view & kViewBits);
    bool all = true;
    unique_hkey tree;
    if (seamRegistry([&] {
            return ::RegOpenKeyExW(key, subkey.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE | view, tree.put());
        }) != ERROR_SUCCESS)
        return false;
    if (isLinkKey(tree.get())) return deleteOpenedKey(tree.get());
    {
        std::vector<std::wstring> children;
        wchar_t name[256];  // the longest key name is 255 characters
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            const LONG listed = seamRegistry(
                [&] { return ::RegEnumKeyExW(tree.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr); });
            if (listed == ERROR_NO_MORE_ITEMS) break;
            // A listing cut short would leave keys that the deletion of their parent then trips on.
            if (listed != ERROR_SUCCESS) return false;
            children.emplace_back(name, length);
        }
        for (const auto& child : children) all = deleteKeyTree(tree.get(), child, view) && all;
    }
    return all && deleteOpenedKey(tree.get());
}

}  // namespace tidewell
