#pragma once
// Builds real MSI packages from table rows written in a test, installs, uninstalls and
// rolls them back with Windows Installer, and hands the test the log.
//
//   Package pkg(L"remove-tree");
//   pkg.property(L"DATA", dir).component(L"Main")
//      .rows(L"RemoveFile", {{L"rf1", L"Main", L"", L"DATA", L"2"}})
//      .rows(L"VU_RemoveFile", {{L"rf1", L"", L"3"}})
//      .withKit().kitSequence(L"VU_RemoveFilesImmediate");
//   ASSERT_EQ(0u, pkg.install().code);
#include <windows.h>
#include <msi.h>
#include <map>
#include <string>
#include <vector>

#include "kit.h"

namespace tidewell::test {

struct Message {
    INSTALLMESSAGE type;
    std::vector<std::wstring> fields;  // field 0 (template) to the last
    std::wstring text;                 // formatted as the installer would show it
};

struct RunResult {
    UINT code = 0;
    std::wstring log;                   // the verbose MSI log of the run
    std::vector<Message> messages;      // what an external UI handler saw
    // Lines of the log or of the information messages that contain the text.
    bool logHas(const std::wstring& text) const;
    // Field 1 of every ACTIONDATA message, in order.
    std::vector<std::wstring> actionData() const;
    std::vector<Message> actionDataRecords() const;
};

// Where the test binaries live inside the prefix (C:\tidewell\).
std::wstring binFolder();
// The library of this build: "Tidewell.dll" (x86) or "Tidewell64.dll" (x64), in binFolder().
std::wstring libraryFile();
// The platform of the packages that carry it: "Intel" or "x64".
std::wstring buildPlatform();
std::wstring newGuid();

// Whether a run writes the verbose log and hands every message to the capturing handler
// (the tests), or neither (the benchmark, which measures the library and not the log).
enum class RunRecording { full, none };

class Package {
public:
    explicit Package(std::wstring name);
    ~Package();  // uninstalls a product still installed, so tests leave no product behind
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    Package& property(const std::wstring& name, const std::wstring& value);
    // A component in TARGETDIR (or the given directory), part of the one feature.
    Package& component(const std::wstring& name, int attributes = 0, const std::wstring& directory = L"TARGETDIR");
    Package& rows(const std::wstring& table, const std::vector<Row>& rows);
    Package& customAction(const std::wstring& action, int type, const std::wstring& source, const std::wstring& target);
    Package& sequence(const std::wstring& action, int number, const std::wstring& condition = L"");
    // Binds every action of the kit (authoring/CustomAction.idt) to Tidewell.dll, with
    // the kit's names, types and exports, and adds the kit's progress texts
    // (authoring/ActionText.idt); none is sequenced.
    Package& withKit();
    // Carries another DLL of the bin folder as the library (the Binary row "Tidewell"):
    // TidewellFaults.dll for a call that fails inside the installation.
    Package& library(const std::wstring& file);
    // Takes an action's CustomAction row out again (a package that lacks it).
    Package& withoutAction(const std::wstring& action);
    // Sequences an action at the kit's number (authoring/InstallExecuteSequence.idt), with
    // the kit's condition or the one given.
    Package& kitSequence(const std::wstring& action);
    Package& kitSequence(const std::wstring& action, const std::wstring& condition);
    // Binds an action to an export of the tests' TestActions.dll (Binary row "TestActions").
    Package& testAction(const std::wstring& action, int type, const std::wstring& exportName);
    // A deferred action at `number` that fails, so that everything before it rolls back.
    Package& failAt(int number);
    // The platform field of the Template summary property ("Intel", "x64"); the build's
    // own by default.
    Package& platform(const std::wstring& platform);
    // A finding of the package checks (tidewell-check's code) that this package has on
    // purpose. Every package is checked when it is built, inside a test: an error that is
    // not expected fails the test, and so does an expected finding that does not come.
    Package& expectFinding(const std::wstring& code);
    // Adds the custom table even when no row is written to it.
    Package& table(const std::wstring& name);
    // Leaves out the Binary table (Tidewell.dll and TestActions.dll): a package made
    // without the library, as tidewell-add finds it.
    Package& withoutBinaries();

    // Writes the database (again) and returns its path.
    const std::wstring& build();
    const std::wstring& path() const { return path_; }
    const std::wstring& productCode() const { return productCode_; }

    // External UI answer for questions (INSTALLMESSAGE_USER); 0 lets the question go unanswered.
    void answerQuestionsWith(int answer) { answer_ = answer; }
    // UI level for the run (INSTALLUILEVEL_NONE by default).
    void uiLevel(INSTALLUILEVEL level) { uiLevel_ = level; }
    void recording(RunRecording recording) { recording_ = recording; }

    RunResult install(const std::wstring& commandLine = L"");
    RunResult uninstall(const std::wstring& commandLine = L"");

private:
    RunResult run(const std::wstring& commandLine);

    std::wstring name_;
    std::wstring path_;
    std::wstring productCode_;
    std::map<std::wstring, std::vector<Row>> tables_;
    std::vector<std::wstring> extraTables_;
    std::wstring platform_ = buildPlatform();
    std::vector<std::wstring> expectedFindings_;
    bool built_ = false;
    bool installed_ = false;
    int answer_ = 0;
    INSTALLUILEVEL uiLevel_ = INSTALLUILEVEL_NONE;
    RunRecording recording_ = RunRecording::full;
};

}  // namespace tidewell::test
