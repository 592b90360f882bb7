#pragma once
// Registry keys of VU_PersistentData rows of Type 2: a root number (as in the Root column
// of RemoveRegistry), a separator and the subkey path, turned into a full registry path.
#include <windows.h>
#include <string>

namespace tidewell {

// -1: HKEY_LOCAL_MACHINE when allUsers is exactly "1", else HKEY_CURRENT_USER; 0: HKCR;
// 1: HKCU; 2: HKLM; 3: HKEY_USERS; any other number: HKLM.
HKEY rootForNumber(int number, const std::wstring& allUsers);

// Replaces the root number before the first backslash or slash by the root's long name
// ("2\Software\App" becomes "HKEY_LOCAL_MACHINE\Software\App"). Only the leading number
// is the root: later components that happen to read like it ("1", "1.0") stay as they
// are. A path without a separator, or with nothing before it, is returned unchanged.
std::wstring rewriteRegistryRoot(const std::wstring& path, const std::wstring& allUsers);

}  // namespace tidewell
