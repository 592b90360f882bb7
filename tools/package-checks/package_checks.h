#pragma once
// The checks of a package's library tables, rows, actions and sequence that both tools
// run: tidewell-check on its own, tidewell-add after it has added the library. They read
// the package and never change it.
#include <optional>
#include <string>
#include <vector>

#include "finding.h"
#include "msi_database.h"

namespace tidewell::tools {

// A Binary row that holds the library, with the version its resource names.
struct LibraryBinary {
    std::wstring name;
    std::optional<std::wstring> version;
    std::wstring fileName = L"Tidewell.dll";  // or Tidewell64.dll, after the DLL's machine type
};

struct CheckReport {
    std::vector<Finding> findings;
    std::vector<LibraryBinary> libraries;
    bool hasError() const;
};

// With a DLL path, the exports are read from that file instead of the Binary stream.
CheckReport checkPackage(const MsiDatabase& package, const std::optional<std::wstring>& dllPath = std::nullopt);

}  // namespace tidewell::tools
