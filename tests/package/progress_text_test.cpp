// The kit's progress texts (authoring/ActionText.idt) reach an external user interface:
// when a removal, a move and a registry removal run, the handler receives each action's
// description and template, then the action data fields while the action runs, and the
// template shows those fields as intended. (Wine announces a deferred action with its
// texts when the script is written; when the script runs it sends the action data with
// an empty field 0, where Windows puts the template.)
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "common/unique_any.h"
#include "msi/session.h"
#include "package.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

std::string progressMessages(const RunResult& result) {
    std::string text;
    for (const auto& message : result.messages) {
        if (message.type != INSTALLMESSAGE_ACTIONSTART && message.type != INSTALLMESSAGE_ACTIONDATA) continue;
        text += message.type == INSTALLMESSAGE_ACTIONSTART ? "start:" : "  data:";
        for (const auto& field : message.fields) text += " [" + toUtf8(field) + "]";
        text += " -> " + toUtf8(message.text) + "\n";
    }
    return text;
}

// The template formatted with the fields, as a progress dialog shows them.
std::wstring shownWith(const std::wstring& templateText, const std::vector<std::wstring>& fields) {
    const unique_msihandle record(::MsiCreateRecord(static_cast<UINT>(fields.size())));
    ::MsiRecordSetStringW(record.get(), 0, templateText.c_str());
    for (size_t i = 0; i < fields.size(); ++i)
        ::MsiRecordSetStringW(record.get(), static_cast<UINT>(i + 1), fields[i].c_str());
    wchar_t text[1024];
    DWORD length = 1024;
    if (::MsiFormatRecordW(0, record.get(), text, &length) != ERROR_SUCCESS) return L"";
    return std::wstring(text, length);
}

// The action runs under its own name, or (Wine, from the script) with its data in
// brackets before the name.
bool isRunOf(const std::wstring& name, const std::wstring& action) {
    return name == action || (name.size() > action.size() && name.ends_with(L"]" + action));
}

}  // namespace

TEST(ProgressTexts, ExternalUiReceivesTheDescriptionAndTheFormattedFields) {
    TestFolder data(L"C:\\tw-progress-data");
    TestFolder destination(L"C:\\tw-progress-moved");
    writeFile(data / L"old.log", "log");
    writeFile(data / L"app.cfg", "12345");
    const std::wstring key = L"Software\\TidewellProgressTest";
    regSetString(HKEY_CURRENT_USER, key + L"\\Cache", L"", L"x");

    Package package(L"progress-texts");
    package.component(L"Main")
        .property(L"DATA", data.path() + L"\\")
        .property(L"MOVED", destination.path() + L"\\")
        .rows(L"RemoveFile", {{L"rf1", L"Main", L"*.log", L"DATA", L"1"}})
        .rows(L"VU_RemoveFile", {{L"rf1", L"", L"0"}})
        .rows(L"MoveFile", {{L"mf1", L"Main", L"app.cfg", L"", L"DATA", L"MOVED", L"1"}})
        .rows(L"VU_MoveFile", {{L"mf1", L"", L"1"}})
        .rows(L"RemoveRegistry", {{L"rr1", L"1", key + L"\\Cache", L"-", L"Main"}})
        .rows(L"VU_RemoveRegistry", {{L"rr1", L"1", L"", L""}})
        .withKit()
        .kitSequence(L"VU_RemoveFilesImmediate")
        .kitSequence(L"VU_UndoRemoveFiles")
        .kitSequence(L"VU_MoveFilesImmediate")
        .kitSequence(L"VU_RemoveRegsImmediate");
    const RunResult result = package.install();
    ASSERT_EQ(0u, result.code) << toUtf8(result.log);

    struct Case {
        std::wstring action;
        std::vector<std::wstring> fields;  // the action data fields it sends
        std::wstring shown;                // as the template formats them
    };
    const std::wstring logs = data.path() + L"\\*.log";
    const std::wstring moved = data.path() + L"\\app.cfg";
    const std::wstring removedKey = L"HKCU\\" + key + L"\\Cache\\";
    const std::vector<Case> cases = {
        {L"VU_VuRemoveFilesDeferred_Undoable", {logs}, L"Removing: " + logs},
        {L"VU_VuMoveFilesDeferred", {moved, destination.path(), L"0"},
         L"File: " + moved + L", to folder: " + destination.path() + L", size: 0"},
        {L"VU_VuRemoveRegsCommit", {removedKey}, L"Removing: " + removedKey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.action));
        const Row text = kitRow(L"ActionText.idt", c.action);
        bool announced = false, sent = false;
        bool running = false;
        for (const auto& message : result.messages) {
            if (message.type == INSTALLMESSAGE_ACTIONSTART && message.fields.size() > 3) {
                running = isRunOf(message.fields[1], c.action);
                if (message.fields[1] == c.action && message.fields[2] == text[1] && message.fields[3] == text[2])
                    announced = true;
                continue;
            }
            if (!running || message.type != INSTALLMESSAGE_ACTIONDATA) continue;
            const std::vector<std::wstring> fields(message.fields.begin() + 1, message.fields.end());
            if (fields == c.fields) sent = true;
        }
        EXPECT_TRUE(announced) << "no action start with the kit's description and template; the handler saw:\n"
                               << progressMessages(result);
        EXPECT_TRUE(sent) << "no action data with the expected fields; the handler saw:\n" << progressMessages(result);
        EXPECT_EQ(c.shown, shownWith(text[2], c.fields));
    }
    EXPECT_FALSE(exists(data / L"old.log"));
    EXPECT_TRUE(exists(destination / L"app.cfg"));
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, key + L"\\Cache"));
    regDeleteTree(HKEY_CURRENT_USER, key);
}
