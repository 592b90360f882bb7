// Every one of the library's 18 exports, called by a real installation: one that succeeds
// (the immediate, deferred and commit actions) and one that fails at its end (the
// rollback actions). It is the one package test that also runs against the 32-bit DLL on a
// machine that runs 32-bit code only under emulation (TIDEWELL_TEST_LIBRARY=Tidewell.dll
// with the 64-bit test program), so it is kept to two installations.
#include <gtest/gtest.h>
#include <set>

#include "common/text.h"
#include "package.h"
#include "path_states.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

using Names = std::vector<std::wstring>;

constexpr const wchar_t* kExports[] = {
    L"OnPromptUserBasicUI",   L"OnVuBackupImmediate",      L"OnVuBackupDeferred",      L"OnVuBackupRollback",
    L"OnVuBackupCleanup",     L"OnVuRestoreImmediate",     L"OnVuRestoreDeferred",     L"OnVuRestoreRollback",
    L"OnVuMoveFilesImmediate", L"OnVuMoveFilesDeferred",   L"OnVuMoveFilesRollback",   L"OnVuRemoveFilesImmediate",
    L"OnVuRemoveFilesPermanent", L"OnVuRemoveFilesUndoable", L"OnVuRemoveFilesCommit", L"OnVuUndoRemoveFiles",
    L"OnVuRemoveRegsImmediate", L"OnVuRemoveRegs",
};

const std::wstring kKey = L"Software\\TidewellTest\\AllExports";
const std::wstring kNotAtRemoval = L"NOT REMOVE~=\"ALL\"";

// The export names that wrote at least one line into the run's log.
std::set<std::wstring> exportsThatLogged(const RunResult& result) {
    std::set<std::wstring> found;
    for (const wchar_t* name : kExports)
        if (result.logHas(std::wstring(name) + L":")) found.insert(name);
    return found;
}

// A package with a row for every feature; the library's actions run at installation only,
// so that removing the product afterwards runs none of them.
void addFeatureRows(Package& package, const TestFolder& data) {
    package.component(L"Main")
        .property(L"DATA", data.path())
        .property(L"MOVED", data / L"moved\\")
        .rows(L"RemoveFile", {{L"rf", L"Main", L"gone.txt", L"DATA", L"1"}})
        .rows(L"VU_RemoveFile", {{L"rf", L"", L"0"}})
        .rows(L"RemoveRegistry", {{L"rr", L"1", kKey, L"gone", L"Main"}})
        .rows(L"VU_RemoveRegistry", {{L"rr", L"", L"", L""}})
        .rows(L"MoveFile", {{L"mf", L"Main", L"move.txt", L"", L"DATA", L"MOVED", L"1"}})
        .rows(L"VU_MoveFile", {{L"mf", L"", L"0"}})
        .rows(L"VU_PersistentData", {{L"pd", L"0", L"1", L"[DATA]\\kept.txt"}})
        .rows(L"Error", kitRows(L"Error.idt"))
        .withKit();
}

}  // namespace

TEST(AllExports, EachOfTheEighteenRunsInRealInstallations) {
    TestFolder data(L"C:\\tw-all-exports");
    regDeleteTree(HKEY_CURRENT_USER, kKey);
    std::set<std::wstring> logged;

    // Installation that succeeds: immediate, deferred and commit actions. The permanent
    // removal and the deferred backup are sequenced as they are, with no work list.
    {
        layDown({{data / L"gone.txt", "g"}, {data / L"move.txt", "m"}, {data / L"kept.txt", "k"}});
        regSetString(HKEY_CURRENT_USER, kKey, L"gone", L"x");
        Package package(L"all-exports-commit");
        addFeatureRows(package, data);
        package.sequence(L"VU_PromptUserBasicUI", 1398, kNotAtRemoval)
            .kitSequence(L"VU_BackupImmediate", kNotAtRemoval)
            .sequence(L"VU_BackupDeferred", 1502, kNotAtRemoval)
            .kitSequence(L"VU_RemoveRegsImmediate", kNotAtRemoval)
            .kitSequence(L"VU_RemoveFilesImmediate", kNotAtRemoval)
            .sequence(L"VU_VuRemoveFilesDeferred_Permanent", 3501, kNotAtRemoval)
            .kitSequence(L"VU_MoveFilesImmediate", kNotAtRemoval)
            .kitSequence(L"VU_RestoreImmediate", kNotAtRemoval)
            .kitSequence(L"VU_BackupCleanup", kNotAtRemoval);
        const RunResult install = package.install();
        ASSERT_EQ(0u, install.code);
        const auto found = exportsThatLogged(install);
        logged.insert(found.begin(), found.end());
        // What the work lists asked for was done.
        expectStates({{data / L"gone.txt", kAbsent}, {data / L"move.txt", kAbsent}, {data / L"moved\\move.txt", "m"},
                      {data / L"kept.txt", "k"}});
        EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kKey, L"gone"));
        EXPECT_EQ(Names{}, recycleBins()) << "the commit leaves no store";
        EXPECT_EQ(0u, package.uninstall().code);
    }

    // Installation that fails at its end: the rollback actions put everything back.
    {
        layDown({{data / L"gone.txt", "g"}, {data / L"move.txt", "m2"}, {data / L"moved", kAbsent}});
        Package package(L"all-exports-rollback");
        addFeatureRows(package, data);
        package.kitSequence(L"VU_BackupImmediate", kNotAtRemoval)
            .kitSequence(L"VU_BackupRollback", kNotAtRemoval)
            .kitSequence(L"VU_UndoRemoveFiles", kNotAtRemoval)
            .kitSequence(L"VU_RemoveFilesImmediate", kNotAtRemoval)
            .kitSequence(L"VU_MoveFilesImmediate", kNotAtRemoval)
            .kitSequence(L"VU_RestoreImmediate", kNotAtRemoval)
            .failAt(6500);
        const RunResult install = package.install();
        EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), install.code);
        const auto found = exportsThatLogged(install);
        logged.insert(found.begin(), found.end());
        expectStates({{data / L"gone.txt", "g"}, {data / L"move.txt", "m2"}, {data / L"moved\\move.txt", kAbsent}});
        EXPECT_EQ(Names{}, recycleBins()) << "the rollback leaves no store";
    }

    for (const wchar_t* name : kExports) EXPECT_TRUE(logged.contains(name)) << toUtf8(name) << " did not run";
    regDeleteTree(HKEY_CURRENT_USER, kKey);
}
