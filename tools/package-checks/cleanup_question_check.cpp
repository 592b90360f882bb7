// The clean-up question: a package that asks it carries its wording in Error row 4152.
#include "check_context.h"

namespace tidewell::tools {

namespace {
constexpr wchar_t kPromptExport[] = L"OnPromptUserBasicUI";
constexpr wchar_t kSwitch[] = L"VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI";
}  // namespace

void checkCleanupQuestion(CheckContext& context) {
    std::wstring why;
    for (const auto& row : context.rows(L"CustomAction", {L"Action", L"Target"}))
        if (row[1] == kPromptExport && context.sequenceNumber(row[0])) why = row[0] + L" is sequenced";
    if (why.empty() && context.propertyValue(kSwitch)) why = std::wstring(kSwitch) + L" is set";
    if (why.empty()) return;
    const bool present =
        context.hasTable(L"Error") && !context.package().select(L"SELECT `Error` FROM `Error` WHERE `Error`=4152").empty();
    if (!present) context.report(L"missing-question", L"Error", L"4152", why + L", but the row is missing");
}

}  // namespace tidewell::tools
