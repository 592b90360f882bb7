#pragma once
// What the tests' own custom actions (TestActions.dll) wrote under C:\tw-probe.
#include <string>
#include <vector>

namespace tidewell::test {

void clearProbe();
// Lines of a probe text file (UTF-16, one entry per line).
std::vector<std::wstring> probeLines(const std::wstring& file);
// The CustomActionData texts that RecordData received, in order.
std::vector<std::wstring> probeDeferredData();

}  // namespace tidewell::test
