#include "msi/run_start.h"

#include <cwchar>

#include "common/text.h"

namespace tidewell {

namespace {
const wchar_t* const kRunStart = L"VU_BEGUN";
}  // namespace

std::wstring runStartGroup() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return joinFields({kRunStart, toDecimal(static_cast<long long>(ticks))});
}

bool isRunStartGroup(const ActionDataGroup& group) {
    return group.size() == 1 && group[0].size() == 2 && group[0][0] == kRunStart;
}

std::optional<ULONGLONG> runStartOf(const ActionData& data) {
    for (size_t index = 0; index < data.groupCount(); ++index) {
        const ActionDataGroup& group = data.group(index);
        if (!isRunStartGroup(group)) continue;
        const std::wstring& text = group[0][1];
        if (text.empty() || text.size() > 19 || text.find_first_not_of(L"0123456789") != std::wstring::npos) return {};
        return std::wcstoull(text.c_str(), nullptr, 10);
    }
    return {};
}

}  // namespace tidewell
