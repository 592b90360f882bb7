#include "child_run.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "common/unique_any.h"
#include "test_fs.h"

namespace tidewell::test {

unique_handle startChild(const std::wstring& suite, const std::wstring& test, const wchar_t* variable,
                         const std::wstring& value, ChildHandles handles) {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    if (self.empty()) return {};
    std::wstring commandLine = L"\"" + self + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + suite +
                               L".DISABLED_" + test;
    if (variable) SetEnvironmentVariableW(variable, value.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const BOOL inherit = handles == ChildHandles::Inherited;
    if (inherit) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr, &startup, &process);
    if (variable) SetEnvironmentVariableW(variable, nullptr);
    if (!started) return {};
    const unique_handle thread(process.hThread);
    return unique_handle(process.hProcess);
}

DWORD runChildToItsEnd(const std::wstring& suite, const std::wstring& test, const wchar_t* variable,
                       const std::wstring& value) {
    const unique_handle child = startChild(suite, test, variable, value);
    if (!child) return static_cast<DWORD>(-1);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(child.get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(child.get(), 1);
        WaitForSingleObject(child.get(), 10000);
        return STILL_ACTIVE;
    }
    GetExitCodeProcess(child.get(), &code);
    return code;
}

void runChildUntilMarker(const std::wstring& suite, const std::wstring& test, const wchar_t* variable,
                         const std::wstring& marker) {
    const unique_handle child = startChild(suite, test, variable, L"1");
    ASSERT_TRUE(child.is_valid());
    for (int round = 0; round < 1000 && !exists(marker); ++round) Sleep(10);
    ASSERT_TRUE(exists(marker)) << "the child did not get to its items";
    ASSERT_TRUE(TerminateProcess(child.get(), 9));
    WaitForSingleObject(child.get(), 10000);
}

}  // namespace tidewell::test
