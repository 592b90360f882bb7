#include "tool_run.h"

#include <windows.h>
#include <msiquery.h>

#include <stdexcept>

#include "common/text.h"
#include "common/unique_any.h"
#include "package.h"

namespace tidewell::test {

ToolRun runTool(const std::wstring& tool, const std::vector<std::wstring>& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    unique_handle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0)) throw std::runtime_error("CreatePipe");
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + binFolder() + tool + L"\"";
    for (const auto& argument : arguments) commandLine += L" \"" + argument + L"\"";
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        throw std::runtime_error("cannot start " + toUtf8(tool));
    unique_handle processHandle(process.hProcess), threadHandle(process.hThread);
    writeEnd.reset();
    ToolRun run;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(readEnd.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) run.output.append(buffer, read);
    ::WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(processHandle.get(), &code);
    run.code = code;
    return run;
}

void executeStatements(const std::wstring& package, const std::vector<std::wstring>& statements) {
    unique_msihandle database;
    if (::MsiOpenDatabaseW(package.c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_TRANSACT), database.put()) != 0)
        throw std::runtime_error("cannot open " + toUtf8(package));
    for (const auto& statement : statements) {
        unique_msihandle view;
        if (::MsiDatabaseOpenViewW(database.get(), statement.c_str(), view.put()) != 0 ||
            ::MsiViewExecute(view.get(), 0) != 0)
            throw std::runtime_error("statement failed: " + toUtf8(statement));
    }
    if (::MsiDatabaseCommit(database.get()) != 0) throw std::runtime_error("cannot commit " + toUtf8(package));
}

}  // namespace tidewell::test
