// The clean-up question in real installations, answered by an external UI handler.
#include <windows.h>
#include <msidefs.h>
#include <gtest/gtest.h>

#include "package.h"
#include "probe.h"

using namespace tidewell::test;

namespace {

struct Outcome {
    bool asked = false;
    std::wstring cleanUp;  // VU_CLEAN_RESOURCES_UNINSTALL after the question
};

Outcome runPrompt(const std::wstring& promptProperty, const std::wstring& externalUi, INSTALLUILEVEL level,
                  int answer) {
    clearProbe();
    Package package(L"prompt");
    package.component(L"Main")
        .property(L"VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI", promptProperty)
        .property(L"VUEXTERNALUI", externalUi)
        .property(L"VU_CLEAN_RESOURCES_UNINSTALL", L"1")
        .property(L"PROBE_PROPERTIES", L"VU_CLEAN_RESOURCES_UNINSTALL")
        .rows(L"Error", kitRows(L"Error.idt"))
        .withKit()
        .testAction(L"TW_Record", msidbCustomActionTypeDll, L"RecordProperties")
        .kitSequence(L"VU_PromptUserBasicUI", L"")
        .sequence(L"TW_Record", 1399);
    package.uiLevel(level);
    package.answerQuestionsWith(answer);
    const RunResult result = package.install();
    EXPECT_EQ(0u, result.code);
    Outcome outcome;
    for (const auto& message : result.messages)
        if (message.type == INSTALLMESSAGE_USER && message.fields.size() > 1 && message.fields[1] == L"4152")
            outcome.asked = true;
    const auto lines = probeLines(L"props.txt");
    if (!lines.empty()) outcome.cleanUp = lines.back().substr(lines.back().find(L'=') + 1);
    return outcome;
}

}  // namespace

TEST(Prompt, AsksInTheBasicInterfaceAndANoSwitchesCleanUpOff) {
    struct Case {
        const char* what;
        const wchar_t* prompt;
        const wchar_t* externalUi;
        INSTALLUILEVEL level;
        int answer;
        bool asked;
        const wchar_t* cleanUp;
    } cases[] = {
        {"external basic UI, No", L"1", L"3", INSTALLUILEVEL_NONE, IDNO, true, L"0"},
        {"external basic UI, Yes", L"1", L"3", INSTALLUILEVEL_NONE, IDYES, true, L"1"},
        {"internal basic UI, No", L"1", L"", INSTALLUILEVEL_BASIC, IDNO, true, L"0"},
        {"external full UI wins over internal basic", L"1", L"5", INSTALLUILEVEL_BASIC, IDNO, false, L"1"},
        {"no UI", L"1", L"", INSTALLUILEVEL_NONE, IDNO, false, L"1"},
        {"prompt property 'true'", L"true", L"3", INSTALLUILEVEL_NONE, IDNO, false, L"1"},
        {"prompt property '01'", L"01", L"3", INSTALLUILEVEL_NONE, IDNO, false, L"1"},
        {"prompt property unset", L"", L"3", INSTALLUILEVEL_NONE, IDNO, false, L"1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = runPrompt(c.prompt, c.externalUi, c.level, c.answer);
        EXPECT_EQ(c.asked, outcome.asked);
        EXPECT_EQ(c.cleanUp, outcome.cleanUp);
    }
}
