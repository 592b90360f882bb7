#pragma once
// One mistake that the checks found in a package: how bad it is, its stable code, where
// it is, and what is wrong there.
#include <string>

namespace tidewell::tools {

enum class Severity { Error, Warning };

struct Finding {
    Severity severity = Severity::Error;
    std::wstring code;    // stable, one of checkCodes()
    std::wstring table;
    std::wstring row;     // the row's key ("" for the table as a whole)
    std::wstring detail;  // what is wrong in this row
};

// "error missing-export [CustomAction VU_X] <detail>. <what to do>": one line.
std::wstring formatFinding(const Finding& finding);

}  // namespace tidewell::tools
