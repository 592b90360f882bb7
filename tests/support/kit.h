#pragma once
// The authoring kit (authoring/*.idt) as the build embedded it, so that test packages
// bind the library's actions exactly as an author who imports the kit does.
#include <string>
#include <vector>

namespace tidewell::test {

using Row = std::vector<std::wstring>;  // one text per column; "" is null

// The rows of one kit file (for example L"CustomAction.idt"), without its three header
// lines; throws when the kit has no such file.
std::vector<Row> kitRows(const std::wstring& fileName);

// The kit's row of an action in a table whose first column is the action's name.
Row kitRow(const std::wstring& fileName, const std::wstring& action);

}  // namespace tidewell::test
