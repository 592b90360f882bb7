#pragma once
// An environment variable set for a scope: the installer's custom-action host, started by
// this process, inherits it (the fault build of the library reads its plan there).
#include <windows.h>

namespace tidewell::test {

class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) { SetEnvironmentVariableW(name, value); }
    ~ScopedVariable() { SetEnvironmentVariableW(name_, nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* name_;
};

}  // namespace tidewell::test
