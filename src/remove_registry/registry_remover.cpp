#include "remove_registry/registry_remover.h"

#include "common/text.h"
#include "win/item_identity.h"
#include "win/paths.h"
#include "win/registry_key.h"

namespace tidewell {
namespace {

constexpr wchar_t kWholeKey[] = L"-";

// Every line names the view where 64-bit Windows has two.
std::wstring viewNote(RegistryView view) {
    const std::wstring name = viewName(view);
    return name.empty() ? name : concat({L" (", name, L")"});
}

// The end of a line for a key that could not be opened: the registry link that stopped
// it (never followed, so nothing of its target is touched), or the error.
std::wstring whyNotOpened(const RegistryKey& key, const wchar_t* otherwise) {
    if (!key.linkOnTheWay().empty())
        return concat({L": ", rootShortName(key.root()), L"\\", key.linkOnTheWay(), L" on the way is a registry link (error ",
                       toDecimal(key.error()), L")"});
    return concat({otherwise, L" (error ", toDecimal(key.error()), L")"});
}

}  // namespace

// A Key with an empty component is refused, a trailing backslash included. After
// formatting, "Software\Vendor\" written in the table cannot be told from
// "Software\Vendor\[UNSET]" with the property unset, and taking either as
// Software\Vendor removes a whole tree the row never named. The same for a doubled
// backslash, which would skip a level, and a leading one.
bool RegistryRemover::refusedForEmptyComponent(const std::wstring& what, const std::wstring& key) const {
    if (!hasEmptyComponent(key)) return false;
    log_.line({what, L" not removed: the key has an empty component (a doubled, leading or trailing backslash, "
                     L"or a property that is not set)"});
    return true;
}

namespace {

}  // namespace

void RegistryRemover::load(const ActionData& data) {
    if (data.groupCount() != 2) {
        // A work list without selected rows holds only the ALLUSERS group.
        log_.line({L"no registry entries to remove (", toDecimal(static_cast<long long>(data.groupCount())),
                  L" group(s) in the work list, rows and ALLUSERS make 2)"});
        return;
    }
    for (const auto& fields : data.group(0)) {
        auto record = parseRegistryRemovalRecord(fields);
        if (!record) {
            log_.line({L"work-list record with ", toDecimal(static_cast<long long>(fields.size())),
                      L" fields skipped"});
            continue;
        }
        const std::wstring id = record->id;
        entries_.emplace(id, std::move(*record));
    }
    allUsers_ = ActionData::findValue(data.group(1), L"ALLUSERS");
}

void RegistryRemover::run() {
    ItemRows itemRows;
    for (const auto& [id, entry] : entries_) {
        const HKEY root = rootForNumber(entry.root, allUsers_);
        const RegistryView view = entry.useNativeView ? RegistryView::Native : RegistryView::Own;
        const auto value = entry.name == kWholeKey ? std::nullopt : std::optional<std::wstring>(entry.name);
        if (const auto first = itemRows.earlierRow(registryIdentity(root, entry.key, value, view), id)) {
            log_.line({L"row ", id, L": ", progressText(root, entry.key, value.value_or(L"")), L" is row ", *first,
                       L"'s item too: it is removed once"});
            continue;
        }
        removeEntry(entry);
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
    const HKEY root = rootForNumber(entry.root, allUsers_);
    const RegistryView view = entry.useNativeView ? RegistryView::Native : RegistryView::Own;
    if (entry.name == kWholeKey) {
        const std::wstring text = progressText(root, entry.key, L"");
        progress_.item({text});
        if (removeKeyTree(root, entry.key, view)) log_.line({L"removed key ", text, viewNote(view)});
    } else {
        const std::wstring text = progressText(root, entry.key, entry.name);
        progress_.item({text});
        if (removeValue(root, entry.key, entry.name, view)) log_.line({L"removed value ", text, viewNote(view)});
    }
}

bool RegistryRemover::removeKeyTree(HKEY root, const std::wstring& key, RegistryView view) const {
    const REGSAM access = KEY_ALL_ACCESS | viewAccess(view);
    const std::wstring shown = progressText(root, key, L"") + viewNote(view);
    if (refusedForEmptyComponent(concat({L"key ", shown}), key)) return false;
    const PathParts parts = splitAtLastBackslash(key);
    const RegistryKey parentKey(root, parts.parent, IfMissing::Fail, access);
    if (!parentKey.isOpen()) {
        log_.line({L"key ", shown, L" not removed",
                   whyNotOpened(parentKey, L": its parent key does not exist or cannot be opened")});
        return false;
    }
    if (deleteKeyTree(parentKey.handle(), parts.leaf, viewAccess(view))) return true;
    const RegistryKey stillThere(root, key, IfMissing::Fail, viewAccess(view));
    log_.line({L"key ", shown, (stillThere.isOpen() ? L" could not be removed" : L" not removed: it does not exist")});
    return false;
}

bool RegistryRemover::removeValue(HKEY root, const std::wstring& key, const std::wstring& name,
                                  RegistryView view) const {
    const std::wstring shown = progressText(root, key, name) + viewNote(view);
    if (refusedForEmptyComponent(concat({L"value ", shown}), key)) return false;
    const RegistryKey registryKey(root, key, IfMissing::Fail, KEY_ALL_ACCESS | viewAccess(view));
    if (!registryKey.isOpen()) {
        log_.line({L"value ", shown, L" not removed",
                   whyNotOpened(registryKey, L": its key does not exist or cannot be opened")});
        return false;
    }
    if (registryKey.deleteValue(name)) return true;
    const bool present =
        ::RegQueryValueExW(registryKey.handle(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    log_.line({L"value ", shown, (present ? L" could not be removed" : L" not removed: it does not exist")});
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
