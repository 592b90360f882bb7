#include "backup/registry_root.h"

#include "common/text.h"
#include "win/registry_key.h"

namespace tidewell {

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

std::wstring rewriteRegistryRoot(const std::wstring& path, const std::wstring& allUsers) {
    const size_t separator = path.find_first_of(L"\\/");
    if (separator == std::wstring::npos || separator == 0) return path;
    const HKEY root = rootForNumber(parseDecimal(path.substr(0, separator)), allUsers);
    return rootLongName(root) + path.substr(separator);
}

}  // namespace tidewell
