#pragma once
// The custom actions a package defines to use the persistent-data backup: the seven
// actions of the kit, bound but not sequenced (each test places the ones it runs).
#include "package.h"

namespace tidewell::test {

inline constexpr int kBackupImmediateSequence = 1399;  // before InstallValidate
inline constexpr int kBackupRollbackSequence = 1501;   // after InstallInitialize
inline constexpr int kRestoreSequence = 5001;          // after WriteRegistryValues
inline constexpr int kBackupCleanupSequence = 6601;    // after InstallFinalize

Package& addBackupActions(Package& package);

// The backup file of a product in the temporary folder, named independently of the
// library: "VuBack_" + the code without braces, "-" as "_", + ".bak".
std::wstring backupFilePath(const std::wstring& productCode);

}  // namespace tidewell::test
