#pragma once
// Registry keys of VU_PersistentData rows of Type 2: a root number (as in the Root column
// of RemoveRegistry), a separator and the subkey path, turned into a full registry path.
#include <string>

namespace tidewell {

// Replaces the root number before the first backslash or slash by the long name of the
// root that rootForNumber gives ("2\Software\App" becomes
// "HKEY_LOCAL_MACHINE\Software\App"). Only the leading number is the root: later
// components that happen to read like it ("1", "1.0") stay as they are. A path without
// a separator, or with nothing before it, is returned unchanged.
std::wstring rewriteRegistryRoot(const std::wstring& path, const std::wstring& allUsers);

}  // namespace tidewell
