#pragma once
// A Windows Installer session opened on a built package (no installation runs), for
// tests of what needs a session but not a full installation.
#include <windows.h>
#include <msi.h>

#include "common/unique_any.h"
#include "package.h"

namespace tidewell::test {

class OpenedPackage {
public:
    // Builds the package and opens it with MsiOpenPackageW; handle() is 0 on failure.
    explicit OpenedPackage(Package& package);
    MSIHANDLE handle() const { return handle_.get(); }
    UINT openResult() const { return result_; }
    // Runs the costing actions so that component states are known.
    UINT cost();

private:
    unique_msihandle handle_;
    UINT result_ = 0;
};

}  // namespace tidewell::test
