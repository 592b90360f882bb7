#include "remove_registry/registry_remover.h"

#include "common/text.h"
#include "win/paths.h"
#include "msi/progress_message.h"
#include "win/registry_key.h"

namespace tidewell {
namespace {

constexpr wchar_t kDeferredExport[] = L"OnVuRemoveRegs";
constexpr size_t kRecordFields = 9;
constexpr wchar_t kWholeKey[] = L"-";

std::wstring viewNote(RegistryView view) { return view == RegistryView::Native ? L" (native 64-bit view)" : L""; }

}  // namespace

RegistryRemover::RegistryRemover(MSIHANDLE installer) : installer_(installer), log_(installer, kDeferredExport) {}

UINT RegistryRemover::load(const ActionData& data) {
    if (data.groupCount() != 2) {
        // A work list without selected rows holds only the ALLUSERS group.
        log_.line(L"no registry entries to remove (" + toDecimal(static_cast<long long>(data.groupCount())) +
                  L" group(s) in the work list, rows and ALLUSERS make 2)");
        return ERROR_SUCCESS;
    }
    for (const auto& record : data.group(0)) {
        if (record.size() != kRecordFields) {
            log_.line(L"work-list record with " + toDecimal(static_cast<long long>(record.size())) +
                      L" fields skipped");
            continue;
        }
        RegistryRemovalEntry entry;
        entry.root = parseDecimal(ActionData::fieldAt(record, 1));
        entry.key = ActionData::fieldAt(record, 2);
        entry.name = ActionData::fieldAt(record, 3);
        entry.useNativeView = ActionData::fieldAt(record, 8) == L"1";
        entries_.emplace(ActionData::fieldAt(record, 0), std::move(entry));
    }
    allUsers_ = ActionData::findValue(data.group(1), L"ALLUSERS");
    return ERROR_SUCCESS;
}

UINT RegistryRemover::run() {
    for (const auto& [id, entry] : entries_) removeEntry(entry);
    return ERROR_SUCCESS;
}

std::wstring RegistryRemover::describe(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring text = rootShortName(root);
    ensureTrailingBackslash(text);
    text += key;
    ensureTrailingBackslash(text);
    return text + name;
}

UINT RegistryRemover::removeEntry(const RegistryRemovalEntry& entry) {
    const HKEY root = rootForNumber(entry.root, allUsers_);
    const RegistryView view = entry.useNativeView ? RegistryView::Native : RegistryView::Own;
    if (entry.name == kWholeKey) {
        const std::wstring text = describe(root, entry.key, L"");
        sendActionData(installer_, {text});
        if (removeKeyTree(root, entry.key, view)) log_.line(L"removed key " + text + viewNote(view));
    } else {
        const std::wstring text = describe(root, entry.key, entry.name);
        sendActionData(installer_, {text});
        if (removeValue(root, entry.key, entry.name, view)) log_.line(L"removed value " + text + viewNote(view));
    }
    return ERROR_SUCCESS;
}

bool RegistryRemover::removeKeyTree(HKEY root, const std::wstring& key, RegistryView view) const {
    const REGSAM access = KEY_ALL_ACCESS | viewAccess(view);
    const std::wstring shown = describe(root, key, L"") + viewNote(view);
    // "Software\Vendor\" names the key Software\Vendor. A key that is empty (or only
    // backslashes) would name the root itself: removing everything under a root is
    // never what a row means, so it is refused.
    std::wstring path = key;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    if (path.empty()) {
        log_.line(L"key " + shown + L" not removed: an empty key would name the whole root");
        return false;
    }
    PathParts parts = splitAtLastBackslash(path);
    // A key whose only backslash leads it is asked for under the root by its whole text:
    // the backslash is not dropped to make a name the row did not write.
    if (parts.parent.empty()) parts.leaf = path;
    const RegistryKey parentKey(root, parts.parent, IfMissing::Fail, access);
    if (!parentKey.isOpen()) {
        log_.line(L"key " + shown + L" not removed: its parent key does not exist or cannot be opened");
        return false;
    }
    if (deleteKeyTree(parentKey.handle(), parts.leaf)) return true;
    const RegistryKey stillThere(root, path, IfMissing::Fail, viewAccess(view));
    log_.line(L"key " + shown + (stillThere.isOpen() ? L" could not be removed" : L" not removed: it does not exist"));
    return false;
}

bool RegistryRemover::removeValue(HKEY root, const std::wstring& key, const std::wstring& name,
                                  RegistryView view) const {
    const std::wstring shown = describe(root, key, name) + viewNote(view);
    const RegistryKey registryKey(root, key, IfMissing::Fail, KEY_ALL_ACCESS | viewAccess(view));
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

UINT removeRegistryEntries(MSIHANDLE installer) {
    ActionData data = ActionData::fromSession(installer);
    data.parse();
    RegistryRemover remover(installer);
    if (remover.load(data) == ERROR_SUCCESS) remover.run();
    return ERROR_SUCCESS;
}

}  // namespace tidewell
