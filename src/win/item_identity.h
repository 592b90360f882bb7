#pragma once
// What makes the items that two rows name one item: a file or folder is the same under
// every name that reaches it (letter case, an 8.3 short name, a trailing backslash, two
// properties), told apart by its volume and file index; a registry key or value by its
// root, view and names, case ignored. Rows that name one item act on it once.
#include <windows.h>
#include <map>
#include <optional>
#include <string>

#include "win/registry_key.h"

namespace tidewell {

// Two identities are the same item when their texts are equal; identities of different
// kinds never are.
struct ItemIdentity {
    std::wstring text;
    bool operator<(const ItemIdentity& other) const { return text < other.text; }
    bool operator==(const ItemIdentity& other) const { return text == other.text; }
};

// The file or folder at the path, read from a handle opened on the item itself (a link,
// never its target); ask before anything is removed or moved. A path that does not exist
// or cannot be opened, and a network path (which the installer's account may not reach),
// is its full path text, case ignored, trailing backslashes dropped.
ItemIdentity fileSystemIdentity(const std::wstring& path);

// A registry key (no value name) or one of its values, under a root already resolved
// from its number; key and value name compared with the case ignored.
ItemIdentity registryIdentity(HKEY root, const std::wstring& key, const std::optional<std::wstring>& valueName,
                              RegistryView view);

// The identity narrowed by a further part, case ignored: a pattern in a folder, a
// destination of a source, the options of a row.
ItemIdentity withPart(const ItemIdentity& identity, const std::wstring& part);

// Which row named each item first.
class ItemRows {
public:
    // The row that named the item before; none when this row is the first to name it
    // (it is then remembered as the item's row).
    std::optional<std::wstring> earlierRow(const ItemIdentity& identity, const std::wstring& row);

private:
    std::map<ItemIdentity, std::wstring> rows_;
};

}  // namespace tidewell
