#pragma once
// The version of a library DLL, in a file or in a package's Binary row, as its
// VERSIONINFO resource gives it.
#include <optional>
#include <string>

#include "msi_database.h"

namespace tidewell::tools {

// The file's bytes; empty when it cannot be read.
std::string fileBytes(const std::wstring& path);

// nullopt when the file or row is missing, is no PE image or carries no version.
std::optional<std::wstring> fileVersion(const std::wstring& path);
std::optional<std::wstring> binaryVersion(const MsiDatabase& package, const std::wstring& binaryName);

// The version, or a few words that say why there is none.
std::wstring versionText(const std::optional<std::wstring>& version);

}  // namespace tidewell::tools
