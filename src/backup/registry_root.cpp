#include "backup/registry_root.h"

#include "common/text.h"
#include "win/registry_key.h"

namespace tidewell {

std::wstring rewriteRegistryRoot(const std::wstring& path, const std::wstring& allUsers) {
    const size_t separator = path.find_first_of(L"\\/");
    if (separator == std::wstring::npos || separator == 0) return path;
    const HKEY root = rootForNumber(parseDecimal(path.substr(0, separator)), allUsers);
    return rootLongName(root) + path.substr(separator);
}

}  // namespace tidewell
