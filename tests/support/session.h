#pragma once
// A Windows Installer session opened on a built package (no installation runs), for
// tests of what needs a session but not a full installation.
#include <windows.h>
#include <msi.h>

#include "package.h"

namespace tidewell::test {

class Session {
public:
    // Builds the package and opens it with MsiOpenPackageW; handle() is 0 on failure.
    explicit Session(Package& package);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    MSIHANDLE handle() const { return handle_; }
    UINT openResult() const { return result_; }
    // Runs the costing actions so that component states are known.
    UINT cost();

private:
    MSIHANDLE handle_ = 0;
    UINT result_ = 0;
};

}  // namespace tidewell::test
