// One failing call inside a real installation for each feature, through the tests' build
// of the library (TidewellFaults.dll, armed by TIDEWELL_TEST_FAULT): the installation goes
// on or rolls back as it would, nothing is lost, and no line says done what is not. The
// backup's case is the full-drive upgrade (major_upgrade_test.cpp); every call of every
// scenario fails in turn in the unit tests' fault table.
#include <gtest/gtest.h>

#include "common/text.h"
#include "package.h"
#include "scoped_variable.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

TEST(FaultInInstallation, EachFeatureLosesNothingAndSaysWhatFailed) {
    TestFolder root(L"C:\\tw-fault-package");
    const std::wstring files = root / L"files", moved = root / L"moved";
    const std::wstring key = L"Software\\TidewellFaultPackage";
    struct Case {
        const char* feature;
        const wchar_t* fault;
        UINT code;
        std::vector<std::wstring> logged, notLogged;
    };
    const Case cases[] = {
        // The second item cannot go into the store; the installation then rolls back.
        {"undoable removal, rolled back", L"rename,2,sharing-violation", ERROR_INSTALL_FAILURE,
         {files + L"\\b.log stays in place: it cannot be moved into ",
          L"OnVuUndoRemoveFiles: putting back 2 removed items"},
         {L"row files: removed " + files + L"\\b.log"}},
        {"copy of the move feature", L"copy,1,disk-full", ERROR_SUCCESS,
         {L"OnVuMoveFilesDeferred: could not copy '" + files + L"\\a.log' to '" + moved + L"\\a.log' (error 112)"},
         {L"OnVuMoveFilesDeferred: copied '"}},
        {"registry removal", L"registry,1,access-denied,on", ERROR_SUCCESS,
         {L"OnVuRemoveRegs: key HKCU\\" + key + L"\\Tree\\",
          L" not removed: its parent key does not exist or cannot be opened (error 5)"},
         {L"removed key HKCU\\" + key}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feature);
        for (const auto* name : {L"a.log", L"b.log", L"c.log"}) writeFile(files + L"\\" + name, toUtf8(name));
        removeTree(moved);
        regSetString(HKEY_CURRENT_USER, key + L"\\Tree\\Sub", L"v", L"x");
        Package package(L"fault-package");
        package.component(L"Main").property(L"FILES", files + L"\\").property(L"MOVED", moved + L"\\");
        const std::string feature = c.feature;
        if (feature == "undoable removal, rolled back") {
            package.rows(L"RemoveFile", {{L"files", L"Main", L"*.log", L"FILES", L"1"}})
                .rows(L"VU_RemoveFile", {{L"files", L"", L"0"}})
                .withKit()
                .kitSequence(L"VU_UndoRemoveFiles")
                .kitSequence(L"VU_RemoveFilesImmediate")
                .failAt(6500);
        } else if (feature == "copy of the move feature") {
            package.rows(L"MoveFile", {{L"copy", L"Main", L"a.log", L"", L"FILES", L"MOVED", L"0"}})
                .rows(L"VU_MoveFile", {{L"copy", L"", L"0"}})
                .withKit()
                .sequence(L"VU_MoveFilesImmediate", 1700);
        } else {
            package.rows(L"RemoveRegistry", {{L"tree", L"1", key + L"\\Tree", L"-", L"Main"}})
                .rows(L"VU_RemoveRegistry", {{L"tree", L"", L"", L""}})
                .withKit()
                .sequence(L"VU_RemoveRegsImmediate", 1700);
        }
        package.library(L"TidewellFaults.dll");
        RunResult result;
        {
            const std::wstring mark = root / L"fault-made";
            DeleteFileW(mark.c_str());
            const ScopedVariable fault(L"TIDEWELL_TEST_FAULT", c.fault), once(L"TIDEWELL_TEST_FAULT_MARK", mark.c_str());
            result = package.install(feature == "registry removal" ? L"DISABLEROLLBACK=1" : L"");
        }
        EXPECT_EQ(c.code, result.code);
        std::string said;
        for (size_t at = result.log.find(L"OnVu"); at != std::wstring::npos; at = result.log.find(L"OnVu", at + 1))
            said += "\n  " + toUtf8(result.log.substr(at, result.log.find(L'\n', at) - at));
        SCOPED_TRACE("the library's lines:" + said);
        for (const auto& line : c.logged) EXPECT_TRUE(result.logHas(line)) << toUtf8(line);
        EXPECT_TRUE(exists(root / L"fault-made")) << "the fault was made";
        for (const auto& line : c.notLogged) EXPECT_FALSE(result.logHas(line)) << toUtf8(line);
        for (const auto* name : {L"a.log", L"b.log", L"c.log"}) EXPECT_EQ(toUtf8(name), readFile(files + L"\\" + name));
        EXPECT_FALSE(exists(moved + L"\\a.log"));
        EXPECT_TRUE(regKeyExists(HKEY_CURRENT_USER, key + L"\\Tree\\Sub"));
        EXPECT_EQ(std::vector<std::wstring>{}, recycleBins());
        EXPECT_EQ(std::vector<std::wstring>{}, journalFiles());
        if (result.code == ERROR_SUCCESS) package.uninstall();
    }
    regDeleteTree(HKEY_CURRENT_USER, key);
}
