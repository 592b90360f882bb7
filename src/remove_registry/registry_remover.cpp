#include "remove_registry/registry_remover.h"

#include "common/text.h"
#include "win/paths.h"
#include "msi/session.h"
#include "win/registry_key.h"

namespace tidewell {
namespace {

constexpr wchar_t kWholeKey[] = L"-";

std::wstring viewNote(bool useNativeView) { return useNativeView ? L" (native 64-bit view)" : L""; }

}  // namespace

void RegistryRemover::load(const ActionData& data) {
    if (data.groupCount() != 2) {
        // A work list without selected rows holds only the ALLUSERS group.
        log_.line(L"no registry entries to remove (" + toDecimal(static_cast<long long>(data.groupCount())) +
                  L" group(s) in the work list, rows and ALLUSERS make 2)");
        return;
    }
    for (const auto& fields : data.group(0)) {
        auto record = parseRegistryRemovalRecord(fields);
        if (!record) {
            log_.line(L"work-list record with " + toDecimal(static_cast<long long>(fields.size())) +
                      L" fields skipped");
            continue;
        }
        const std::wstring id = record->id;
        entries_.emplace(id, std::move(*record));
    }
    allUsers_ = ActionData::findValue(data.group(1), L"ALLUSERS");
}

void RegistryRemover::run() {
    for (const auto& [id, entry] : entries_) removeEntry(entry);
}

HKEY RegistryRemover::resolveRoot(int root) const {
    switch (root) {
    case -1: return allUsers_ == L"1" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    case 0: return HKEY_CLASSES_ROOT;
    case 1: return HKEY_CURRENT_USER;
    case 2: return HKEY_LOCAL_MACHINE;
    case 3: return HKEY_USERS;
    default: return HKEY_LOCAL_MACHINE;
    }
}

std::wstring RegistryRemover::progressText(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring text = rootShortName(root);
    ensureTrailingBackslash(text);
    text += key;
    ensureTrailingBackslash(text);
    return text + name;
}

void RegistryRemover::removeEntry(const RegistryRemovalRecord& entry) {
    const HKEY root = resolveRoot(entry.root);
    if (entry.name == kWholeKey) {
        const std::wstring text = progressText(root, entry.key, L"");
        reportProgress(text);
        if (removeKeyTree(root, entry.key, entry.useNativeView))
            log_.line(L"removed key " + text + viewNote(entry.useNativeView));
    } else {
        const std::wstring text = progressText(root, entry.key, entry.name);
        reportProgress(text);
        if (removeValue(root, entry.key, entry.name, entry.useNativeView))
            log_.line(L"removed value " + text + viewNote(entry.useNativeView));
    }
}

UINT RegistryRemover::reportProgress(const std::wstring& text) const {
    MsiHandleHolder record(::MsiCreateRecord(1));
    if (!record || ::MsiRecordSetStringW(record.get(), 1, text.c_str()) != ERROR_SUCCESS) return ERROR_INSTALL_FAILURE;
    const int answer = ::MsiProcessMessage(log_.installer(), INSTALLMESSAGE_ACTIONDATA, record.get());
    return answer == IDCANCEL || answer == IDABORT ? ERROR_INSTALL_USEREXIT : ERROR_SUCCESS;
}

bool RegistryRemover::removeKeyTree(HKEY root, const std::wstring& key, bool useNativeView) const {
    const REGSAM access = KEY_ALL_ACCESS | nativeViewAccess(useNativeView);
    const std::wstring shown = progressText(root, key, L"") + viewNote(useNativeView);
    // "Software\Vendor\" names the key Software\Vendor. A key that is empty (or only
    // backslashes) would name the root itself: removing everything under a root is
    // never what a row means, so it is refused.
    std::wstring path = key;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    if (path.empty()) {
        log_.line(L"key " + shown + L" not removed: an empty key would name the whole root");
        return false;
    }
    std::wstring parent, subkey;
    splitAtLastBackslash(path, parent, subkey);
    const RegistryKey parentKey(root, parent, false, access);
    if (!parentKey.isOpen()) {
        log_.line(L"key " + shown + L" not removed: its parent key does not exist or cannot be opened");
        return false;
    }
    if (deleteKeyTree(parentKey.handle(), subkey)) return true;
    const RegistryKey stillThere(root, path, false, nativeViewAccess(useNativeView));
    log_.line(L"key " + shown + (stillThere.isOpen() ? L" could not be removed" : L" not removed: it does not exist"));
    return false;
}

bool RegistryRemover::removeValue(HKEY root, const std::wstring& key, const std::wstring& name,
                                  bool useNativeView) const {
    const std::wstring shown = progressText(root, key, name) + viewNote(useNativeView);
    const RegistryKey registryKey(root, key, false, KEY_ALL_ACCESS | nativeViewAccess(useNativeView));
    if (!registryKey.isOpen()) {
        log_.line(L"value " + shown + L" not removed: its key does not exist or cannot be opened");
        return false;
    }
    if (registryKey.deleteValue(name)) return true;
    const bool present =
        ::RegQueryValueExW(registryKey.handle(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    log_.line(L"value " + shown + (present ? L" could not be removed" : L" not removed: it does not exist"));
    return false;
}

void removeRegistryEntries(const ActionLog& log) {
    ActionData data = ActionData::fromSession(log.installer());
    data.parse();
    RegistryRemover remover(log);
    remover.load(data);
    remover.run();
}

}  // namespace tidewell
