#include "win/item_identity.h"

#include "common/text.h"
#include "win/named_object.h"
#include "win/paths.h"

namespace tidewell {

namespace {

// As the file system and the registry compare names.
std::wstring folded(std::wstring text) {
    if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring pathText(std::wstring path) {
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    while (path.size() > 1 && path.back() == L'\\') path.pop_back();
    return concat({L"path:", folded(std::move(path))});
}

}  // namespace

ItemIdentity fileSystemIdentity(const std::wstring& path) {
    if (path.empty() || isNetworkPath(path)) return {pathText(path)};
    std::wstring named = path;
    while (named.size() > 3 && named.back() == L'\\') named.pop_back();
    // The item itself: a link is its own item, whatever it points to.
    const NamedObject opened = openNamed(named, FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION information{};
    if ((opened.kind != Named::Object && opened.kind != Named::Link) ||
        !::GetFileInformationByHandle(opened.handle.get(), &information))
        return {pathText(path)};
    const ULONGLONG index = (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    // Only equality counts: the index's top bit may show as a sign.
    return {concat({L"object:", toDecimal(information.dwVolumeSerialNumber), L":",
                    toDecimal(static_cast<long long>(index))})};
}

ItemIdentity registryIdentity(HKEY root, const std::wstring& key, const std::optional<std::wstring>& valueName,
                              RegistryView view) {
    // A value name may hold a backslash: U+0001, which no work list lets through, keeps
    // the key and the name apart.
    const std::wstring viewText = view == RegistryView::Native ? L"native" : L"own";
    std::wstring text = concat({L"registry:", viewText, L":", rootLongName(root), L"\\", folded(key)});
    if (valueName) text += concat({L"\x01", folded(*valueName)});
    return {std::move(text)};
}

ItemIdentity withPart(const ItemIdentity& identity, const std::wstring& part) {
    return {concat({identity.text, L"\x01", folded(part)})};
}

std::optional<std::wstring> ItemRows::earlierRow(const ItemIdentity& identity, const std::wstring& row) {
    const auto [found, first] = rows_.emplace(identity, row);
    if (first) return std::nullopt;
    return found->second;
}

}  // namespace tidewell
