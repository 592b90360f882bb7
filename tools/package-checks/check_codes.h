#pragma once
// The catalogue of the checks' codes: each code's severity, what it means and what the
// author does about it. The codes are stable: authors filter and search for them.
#include <string>
#include <vector>

#include "finding.h"

namespace tidewell::tools {

struct CheckCode {
    const wchar_t* code;
    Severity severity;
    const wchar_t* meaning;
    const wchar_t* remedy;
};

const std::vector<CheckCode>& checkCodes();
// The catalogue's entry; throws std::out_of_range for a code it lacks.
const CheckCode& checkCode(const std::wstring& code);

}  // namespace tidewell::tools
