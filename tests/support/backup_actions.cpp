#include "backup_actions.h"

#include <msidefs.h>

namespace tidewell::test {

Package& addBackupActions(Package& package) {
    constexpr int immediate = msidbCustomActionTypeDll;
    constexpr int deferred = immediate | msidbCustomActionTypeInScript;
    constexpr int rollback = deferred | msidbCustomActionTypeRollback;
    return package.tidewellAction(L"VU_BackupImmediate", immediate, L"OnVuBackupImmediate")
        .tidewellAction(L"VU_BackupDeferred", deferred, L"OnVuBackupDeferred")
        .tidewellAction(L"VU_BackupRollback", rollback, L"OnVuBackupRollback")
        .tidewellAction(L"VU_BackupCleanup", immediate, L"OnVuBackupCleanup")
        .tidewellAction(L"VU_RestoreImmediate", immediate, L"OnVuRestoreImmediate")
        .tidewellAction(L"VU_VuRestoreRollback", rollback, L"OnVuRestoreRollback")
        .tidewellAction(L"VU_VuRestoreDeferred", deferred, L"OnVuRestoreDeferred");
}

std::wstring backupFilePath(const std::wstring& productCode) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring code = productCode.substr(1, productCode.size() - 2);
    for (auto& c : code)
        if (c == L'-') c = L'_';
    return std::wstring(temp, length) + L"VuBack_" + code + L".bak";
}

}  // namespace tidewell::test
