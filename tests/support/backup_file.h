#pragma once
// Where the persistent-data backup of a product is written.
#include <string>

namespace tidewell::test {

// The backup file of a product in the temporary folder, named independently of the
// library: "VuBack_" + the code without braces, "-" as "_", + ".bak".
std::wstring backupFilePath(const std::wstring& productCode);

}  // namespace tidewell::test
