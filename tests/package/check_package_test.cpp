// tidewell-check on packages with one planted mistake each: every mistake is caught with
// its code and nothing else is reported; clean packages (the demo's, one that uses every
// feature) pass. The checker opens each package read-only: the file is marked read-only
// while it runs, and its bytes are the same afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "demo_package.h"
#include "package.h"
#include "test_fs.h"
#include "tool_run.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

// Every feature's rows, the kit's actions and progress texts, the kit's sequence.
void buildCleanPackage(Package& package) {
    package.component(L"Main")
        .property(L"DATA", L"C:\\tw-check-data")
        .property(L"APPKEY", L"Software\\TidewellCheck")
        .property(L"VU_CLEAN_RESOURCES_UNINSTALL", L"1")
        .rows(L"Error", {{L"4152", L"Remove the data?"}})
        .rows(L"RemoveFile", {{L"rf1", L"Main", L"*.log", L"DATA", L"1"}})
        .rows(L"VU_RemoveFile", {{L"rf1", L"VU_CLEAN_RESOURCES_UNINSTALL=\"1\"", L"2"}})
        .rows(L"RemoveRegistry", {{L"rr1", L"1", L"[APPKEY]\\Cache", L"-", L"Main"}})
        .rows(L"VU_RemoveRegistry", {{L"rr1", L"3", L"NOT Installed", L""}})
        .rows(L"MoveFile", {{L"mf1", L"Main", L"*.cfg", L"", L"DATA", L"TARGETDIR", L"1"}})
        .rows(L"VU_MoveFile", {{L"mf1", L"", L"1"}})
        .rows(L"VU_PersistentData", {{L"pd1", L"0", L"1", L"[DATA]\\settings.ini"},
                                     {L"pd2", L"2", L"1", L"-1\\Software\\TidewellCheck\\Settings"}})
        .withKit()
        .rows(L"InstallExecuteSequence", kitRows(L"InstallExecuteSequence.idt"));
}

struct CheckRun {
    ToolRun run;
    std::set<std::string> codes;  // the codes of the findings
    bool unchanged = false;       // the package's bytes are those before the check
};

CheckRun checkReadOnly(const std::wstring& path, const std::vector<std::wstring>& extra = {}) {
    const std::string before = readFile(path);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    std::vector<std::wstring> arguments{path};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    CheckRun check{runTool(L"tidewell-check.exe", arguments), {}, false};
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    check.unchanged = before == readFile(path);
    static const std::regex finding("^(error|warning) ([a-z-]+) \\[.*");
    std::istringstream lines(check.run.output);
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (std::regex_match(line, match, finding)) check.codes.insert(match[2].str());
    }
    return check;
}

struct Case {
    std::string code;
    std::string severity;
    std::vector<std::wstring> statements;  // plant the mistake in the clean package
    std::vector<std::wstring> arguments = {};  // after the package's path
    std::wstring platform = {};                // the package's Template platform, when not the build's
    std::set<std::string> alsoFound = {};      // further codes that the same package must get
};

const std::wstring kNotADll = L"C:\\tw-packages\\not-a-dll.txt";

const std::vector<Case>& plantedMistakes() {
    static const std::vector<Case> cases = {
        {"table-columns", "error",
         {L"DROP TABLE `VU_MoveFile`",
          L"CREATE TABLE `VU_MoveFile` (`MoveFile` CHAR(72) NOT NULL, `Condition` CHAR(255) PRIMARY KEY `MoveFile`)"}},
        // The kit's I2 as I4: a warning, and the row mistakes of the same table are still caught.
        {"column-type", "warning",
         {L"DROP TABLE `VU_RemoveFile`",
          L"CREATE TABLE `VU_RemoveFile` (`RemoveFile` CHAR(72) NOT NULL, `Condition` CHAR(255), `Options` LONG "
          L"PRIMARY KEY `RemoveFile`)",
          L"INSERT INTO `VU_RemoveFile` (`RemoveFile`, `Condition`, `Options`) VALUES ('rf1', 'A = = (B', 70000)",
          L"INSERT INTO `VU_RemoveFile` (`RemoveFile`, `Options`) VALUES ('rfNone', 0)",
          L"UPDATE `RemoveFile` SET `InstallMode`=4, `Component_`='Nothing' WHERE `FileKey`='rf1'"},
         {},
         {},
         {"condition-syntax", "options", "orphan-row", "install-mode", "unknown-component"}},
        {"table-validation", "warning",
         {L"CREATE TABLE `_Validation` (`Table` CHAR(32) NOT NULL, `Column` CHAR(32) NOT NULL, `Nullable` CHAR(4) "
          L"NOT NULL, `MinValue` LONG, `MaxValue` LONG, `KeyTable` CHAR(255), `KeyColumn` SHORT, `Category` "
          L"CHAR(32), `Set` CHAR(255), `Description` CHAR(255) PRIMARY KEY `Table`, `Column`)"}},
        {"orphan-row", "error", {L"INSERT INTO `VU_RemoveFile` (`RemoveFile`, `Options`) VALUES ('rfNone', 0)"}},
        {"unknown-component", "error",
         {L"UPDATE `RemoveRegistry` SET `Component_`='Nothing' WHERE `RemoveRegistry`='rr1'"}},
        {"unknown-folder", "warning", {L"UPDATE `MoveFile` SET `DestFolder`='NOWHERE' WHERE `FileKey`='mf1'"}},
        {"install-mode", "error", {L"UPDATE `VU_RemoveRegistry` SET `InstallMode`=4 WHERE `RemoveReg`='rr1'"}},
        {"options", "error", {L"UPDATE `VU_RemoveFile` SET `Options`=5 WHERE `RemoveFile`='rf1'"}},
        {"extended-options", "error", {L"UPDATE `VU_MoveFile` SET `ExtendedOptions`=6 WHERE `MoveFile`='mf1'"}},
        {"root", "error", {L"UPDATE `RemoveRegistry` SET `Root`=4 WHERE `RemoveRegistry`='rr1'"}},
        {"condition-syntax", "error", {L"UPDATE `VU_MoveFile` SET `Condition`='A = = (B' WHERE `MoveFile`='mf1'"}},
        {"key-may-be-empty", "warning",
         {L"UPDATE `RemoveRegistry` SET `Key`='[UNSETKEY]' WHERE `RemoveRegistry`='rr1'"}},
        {"root-path", "error", {L"UPDATE `VU_PersistentData` SET `Path`='C:\\' WHERE `PersistentRow`='pd1'"}},
        {"not-a-dll", "error", {}, {kNotADll}},
        // The 64-bit DLL given for an Intel package.
        {"library-platform", "error", {}, {binFolder() + L"Tidewell64.dll"}, L"Intel"},
        {"missing-export", "error",
         {L"UPDATE `CustomAction` SET `Target`='OnVuRemoveFilesComit' WHERE `Action`='VU_VuRemoveFilesCommit'"}},
        {"action-type", "error", {L"UPDATE `CustomAction` SET `Type`=3329 WHERE `Action`='VU_VuRemoveFilesCommit'"}},
        {"missing-scheduled-action", "error", {L"DELETE FROM `CustomAction` WHERE `Action`='VU_VuMoveFilesRollback'"}},
        {"sequence-order", "error",
         {L"UPDATE `InstallExecuteSequence` SET `Sequence`=3501 WHERE `Action`='VU_RemoveFilesImmediate'"}},
        {"upgrade-rollback", "warning",
         {L"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveExistingProducts', 1450)"}},
        {"missing-question", "error", {L"DELETE FROM `Error` WHERE `Error`=4152"}},
        // A major upgrade that removes the old version (1600, after InstallInitialize)
        // before the backup copies (1700).
        {"backup-after-removal", "error",
         {L"UPDATE `InstallExecuteSequence` SET `Sequence`=1700 WHERE `Action`='VU_BackupImmediate'",
          L"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveExistingProducts', 1600)"}},
        {"restore-before-removal", "error",
         {L"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveExistingProducts', 6700)"}},
        // rr1 acts at installation and uninstallation, with "NOT Installed" alone.
        {"upgrade-removal-condition", "warning",
         {L"CREATE TABLE `Upgrade` (`UpgradeCode` CHAR(38) NOT NULL, `VersionMin` CHAR(20), `VersionMax` CHAR(20), "
          L"`Language` CHAR(255), `Attributes` LONG NOT NULL, `Remove` CHAR(255), `ActionProperty` CHAR(72) NOT NULL "
          L"PRIMARY KEY `UpgradeCode`, `VersionMin`, `VersionMax`, `Language`, `Attributes`)"}},
    };
    return cases;
}

}  // namespace

TEST(CheckPackage, CleanPackagesPassAndPrintTheLibraryVersion) {
    Package clean(L"check-clean");
    buildCleanPackage(clean);
    Package demo(L"check-demo");
    demo::buildDemoPackage(demo);
    for (Package* package : {&clean, &demo}) {
        const CheckRun check = checkReadOnly(package->build());
        EXPECT_EQ(0u, check.run.code) << check.run.output;
        EXPECT_TRUE(check.codes.empty()) << check.run.output;
        EXPECT_NE(std::string::npos, check.run.output.find("0 error(s), 0 warning(s)")) << check.run.output;
        EXPECT_NE(std::string::npos,
                  check.run.output.find("Binary row Tidewell holds " + toUtf8(libraryFile()) + " version " TIDEWELL_VERSION))
            << check.run.output;
        EXPECT_TRUE(check.unchanged) << "the package was changed";
    }
}

TEST(CheckPackage, EachPlantedMistakeIsCaughtWithItsCode) {
    writeFile(kNotADll, "not a DLL");
    for (const auto& c : plantedMistakes()) {
        SCOPED_TRACE(c.code);
        Package package(L"check-" + fromUtf8(c.code));
        buildCleanPackage(package);
        if (!c.platform.empty()) package.platform(c.platform);
        // The 64-bit build's own DLL in the Binary row of an Intel package is the same
        // mistake, which the check of every built package finds too.
        if (c.code == "library-platform" && libraryFile() == L"Tidewell64.dll") package.expectFinding(L"library-platform");
        package.build();
        ASSERT_NO_THROW(executeStatements(package.path(), c.statements));
        const CheckRun check = checkReadOnly(package.path(), c.arguments);
        std::set<std::string> expected = c.alsoFound;
        expected.insert(c.code);
        EXPECT_EQ(expected, check.codes) << check.run.output;
        EXPECT_NE(std::string::npos, check.run.output.find(c.severity + " " + c.code + " [")) << check.run.output;
        EXPECT_EQ(c.severity == "error" || !c.alsoFound.empty() ? 1u : 0u, check.run.code) << check.run.output;
        EXPECT_TRUE(check.unchanged) << "the package was changed";
    }
}

TEST(CheckPackage, HelpExplainsEveryCode) {
    const ToolRun help = runTool(L"tidewell-check.exe", {L"--help"});
    EXPECT_EQ(0u, help.code);
    for (const auto& c : plantedMistakes())
        EXPECT_NE(std::string::npos, help.output.find("  " + c.code + " (" + c.severity + "): ")) << c.code;
}

// tidewell-add runs the same checks at its end and prints their findings; they do not
// change its exit code.
TEST(CheckPackage, TidewellAddPrintsTheFindings) {
    Package package(L"check-after-add");
    package.expectFinding(L"unknown-component");
    package.component(L"Main")
        .property(L"DATA", L"C:\\tw-check-data")
        .rows(L"RemoveFile", {{L"rf1", L"Nothing", L"*.log", L"DATA", L"1"}})
        .rows(L"VU_RemoveFile", {{L"rf1", L"", L"0"}})
        .withoutBinaries()
        .build();
    const ToolRun add = runTool(L"tidewell-add.exe", {package.path()});
    EXPECT_EQ(0u, add.code) << add.output;
    EXPECT_NE(std::string::npos, add.output.find("tidewell-add: check: error unknown-component [RemoveFile rf1]"))
        << add.output;
    EXPECT_NE(std::string::npos, add.output.find("tidewell-add: checks: 1 finding(s)")) << add.output;
}
