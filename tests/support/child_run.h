#pragma once
// A process that dies in the middle of its work, as an installer process can: one
// disabled test of the running test program, run in a child and ended hard.
#include <windows.h>
#include <string>

#include "common/unique_any.h"

namespace tidewell::test {

// Whether a child gets this process's standard handles (and every inheritable handle).
enum class ChildHandles { Own, Inherited };

// Starts DISABLED_<test> of the running test program in a child process, with the
// variable set to the value for the child only (no variable when it is null); an invalid
// handle when it cannot be started.
unique_handle startChild(const std::wstring& suite, const std::wstring& test, const wchar_t* variable,
                         const std::wstring& value, ChildHandles handles = ChildHandles::Own);

// Runs DISABLED_<test> of the running test program in a child process, with the
// environment variable set that lets that test do its work, waits for the marker file
// the child writes when it is where it should be stopped, then terminates it. Fatal
// gtest failures when the child cannot be started, never writes the marker or cannot be
// ended: call it under ASSERT_NO_FATAL_FAILURE.
// Runs DISABLED_<test> with the variable set to the value and waits for it to end by
// itself (or be ended by its own code); its exit code, or STILL_ACTIVE after a minute.
DWORD runChildToItsEnd(const std::wstring& suite, const std::wstring& test, const wchar_t* variable,
                       const std::wstring& value);

void runChildUntilMarker(const std::wstring& suite, const std::wstring& test, const wchar_t* variable,
                         const std::wstring& marker);

}  // namespace tidewell::test
