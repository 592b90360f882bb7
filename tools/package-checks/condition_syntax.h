#pragma once
// Whether Windows Installer can parse a condition. Only the installer's own parser knows
// its grammar, so the check asks it: a session opened on the package's read-only
// database evaluates the condition, and MSICONDITION_ERROR is a syntax error.
#include <windows.h>
#include <msi.h>
#include <string>

#include "common/unique_any.h"

namespace tidewell::tools {

class ConditionSyntax {
public:
    // The session is opened on the database handle itself, so the file is opened once,
    // read-only. Without a session (the installer refuses the package) every condition
    // counts as valid: other checks report what is wrong with such a package.
    explicit ConditionSyntax(MSIHANDLE database);

    bool available() const { return static_cast<bool>(session_); }
    bool isSyntaxError(const std::wstring& condition) const;

private:
    unique_msihandle session_;
};

}  // namespace tidewell::tools
