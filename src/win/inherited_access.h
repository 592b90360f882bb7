#pragma once
// Giving a file or folder tree the access its parent hands down. Copies made inside a
// store take the store's protected access list (SYSTEM, Administrators, the installing
// account); put back in their place, they must serve the users and services that used
// the data before, so every entry drops what it holds and inherits from its new parent.
#include <string>

namespace tidewell {

// Every entry of the tree (links are not followed); false when one of them could not be
// changed.
bool inheritAccessFromParent(const std::wstring& path);

}  // namespace tidewell
