#include "cleanup_prompt/cleanup_prompt.h"

#include "msi/action_log.h"
#include "msi/session.h"

namespace tidewell {

namespace {
constexpr int kCleanupQuestion = 4152;
// INSTALLMESSAGE_USER | MB_ICONINFORMATION | MB_YESNO, Yes being the default button.
constexpr auto kQuestionType = static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_USER | MB_ICONINFORMATION | MB_YESNO);
}  // namespace

UINT promptUserBasicUI(MSIHANDLE installer) {
    const ActionLog log(installer, L"OnPromptUserBasicUI");
    WideBuffer buffer;
    getPropertyInto(installer, L"VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI", buffer);
    if (buffer.text() != L"1") {
        log.line(L"no question: VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI is not 1");
        return ERROR_SUCCESS;
    }
    getPropertyInto(installer, L"VUEXTERNALUI", buffer);
    std::wstring level = buffer.text();
    const wchar_t* source = L"VUEXTERNALUI";
    if (level.empty()) {
        getPropertyInto(installer, L"UILevel", buffer);
        level = buffer.text();
        source = L"UILevel";
    }
    if (level != L"3") {
        log.line(std::wstring(L"no question: ") + source + L" is '" + level + L"', not the basic interface (3)");
        return ERROR_SUCCESS;
    }
    const int answer = sendMessage(installer, kCleanupQuestion, kQuestionType);
    if (answer == IDNO) {
        setProperty(installer, L"VU_CLEAN_RESOURCES_UNINSTALL", L"0");
        log.line(L"answered No: VU_CLEAN_RESOURCES_UNINSTALL set to 0");
    } else {
        log.line(L"answer " + std::to_wstring(answer) + L": VU_CLEAN_RESOURCES_UNINSTALL left as it is");
    }
    return ERROR_SUCCESS;
}

}  // namespace tidewell
