#pragma once
// Runs one of the build's command-line tools (tidewell-add.exe, tidewell-check.exe) as a
// child process and hands back its exit code and output; changes a built package with
// SQL statements the way an author does with other tools.
#include <string>
#include <vector>

namespace tidewell::test {

struct ToolRun {
    unsigned long code = 0;
    std::string output;  // standard output and error together
};

// The tool from the test binaries' folder, each argument quoted.
ToolRun runTool(const std::wstring& tool, const std::vector<std::wstring>& arguments);

// Runs the statements on the package file and commits; throws when one fails.
void executeStatements(const std::wstring& package, const std::vector<std::wstring>& statements);

}  // namespace tidewell::test
