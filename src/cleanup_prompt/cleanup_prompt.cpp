#include "cleanup_prompt/cleanup_prompt.h"

#include "common/text.h"
#include "msi/session.h"

namespace tidewell {

namespace {
constexpr int kCleanupQuestion = 4152;
// INSTALLMESSAGE_USER | MB_ICONINFORMATION | MB_YESNO, Yes being the default button.
constexpr auto kQuestionType = static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_USER | MB_ICONINFORMATION | MB_YESNO);
}  // namespace

void promptUserBasicUI(const ActionLog& log) {
    const MSIHANDLE installer = log.installer();
    if (getProperty(installer, L"VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI") != L"1") {
        log.line(L"no question: VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI is not 1");
        return;
    }
    std::wstring level = getProperty(installer, L"VUEXTERNALUI");
    const wchar_t* source = L"VUEXTERNALUI";
    if (level.empty()) {
        level = getProperty(installer, L"UILevel");
        source = L"UILevel";
    }
    if (level != L"3") {
        log.line({L"no question: ", source, L" is '", level, L"', not the basic interface (3)"});
        return;
    }
    const int answer = sendMessage(installer, kCleanupQuestion, kQuestionType);
    if (answer != IDNO) {
        log.line({L"answer ", toDecimal(answer), L": VU_CLEAN_RESOURCES_UNINSTALL left as it is"});
        return;
    }
    const UINT result = setProperty(installer, L"VU_CLEAN_RESOURCES_UNINSTALL", L"0");
    if (result == ERROR_SUCCESS) log.line(L"answered No: VU_CLEAN_RESOURCES_UNINSTALL set to 0");
    else log.line({L"answered No, but VU_CLEAN_RESOURCES_UNINSTALL could not be set to 0 (error ", toDecimal(result), L")"});
}

}  // namespace tidewell
