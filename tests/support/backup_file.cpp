#include "backup_file.h"

#include <windows.h>

namespace tidewell::test {

std::wstring backupFilePath(const std::wstring& productCode) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring code = productCode.substr(1, productCode.size() - 2);
    for (auto& c : code)
        if (c == L'-') c = L'_';
    return std::wstring(temp, length) + L"VuBack_" + code + L".bak";
}

}  // namespace tidewell::test
