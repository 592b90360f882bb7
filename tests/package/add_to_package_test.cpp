// tidewell-add on packages made without the library: it adds what the library needs,
// places the actions next to the package's standard actions, and the package then
// installs with the library at work; it refuses packages it must not change and leaves
// them as they were.
#include <gtest/gtest.h>
#include <windows.h>
#include <msidefs.h>
#include <msiquery.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/unique_any.h"
#include "msi/session.h"
#include "package.h"
#include "test_fs.h"
#include "tool_run.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

ToolRun runTool(const std::wstring& package) { return test::runTool(L"tidewell-add.exe", {package}); }

using Rows = std::vector<std::vector<std::wstring>>;

const std::wstring kActionsQuery = L"SELECT `Action`, `Type`, `Source`, `Target` FROM `CustomAction`";

Rows query(const std::wstring& path, const std::wstring& statement) {
    unique_msihandle database, view, record;
    if (::MsiOpenDatabaseW(path.c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY), database.put()) != 0 ||
        ::MsiDatabaseOpenViewW(database.get(), statement.c_str(), view.put()) != 0 ||
        ::MsiViewExecute(view.get(), 0) != 0)
        throw std::runtime_error("cannot query " + toUtf8(path) + ": " + toUtf8(statement));
    Rows rows;
    while (::MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS) {
        std::vector<std::wstring> row;
        for (UINT field = 1; field <= ::MsiRecordGetFieldCount(record.get()); ++field)
            row.push_back(recordString(record.get(), field));
        rows.push_back(row);
    }
    return rows;
}

// Changes a built package the way an author does after running the tool.
void execute(const std::wstring& path, const std::vector<std::wstring>& statements) {
    ASSERT_NO_THROW(executeStatements(path, statements));
}

std::map<std::wstring, int> sequenceOf(const std::wstring& path) {
    std::map<std::wstring, int> numbers;
    for (const auto& row : query(path, L"SELECT `Action`, `Sequence` FROM `InstallExecuteSequence`"))
        numbers[row[0]] = parseDecimal(row[1]);
    return numbers;
}

}  // namespace

TEST(AddToPackage, PackageMadeWithoutTheLibraryGetsItAndInstallsWithIt) {
    TestFolder data(L"C:\\tw-add-data");
    writeFile(data / L"stale.log", "old log");
    writeFile(data / L"keep.txt", "keep me");
    Package package(L"add-library");
    package.withoutBinaries()
        .component(L"Main")
        .property(L"DATADIR", data.path() + L"\\")
        .rows(L"RemoveFile", {{L"rfStaleLogs", L"Main", L"*.log", L"DATADIR", L"1"}})
        // Two of the library's tables made as the tests make them: the tool must find the
        // same columns that it would create.
        .table(L"VU_RemoveRegistry")
        .table(L"VU_PersistentData")
        // An action of the author's own on the number the library's removal takes in the
        // usual sequence: the library's actions go below it, still before RemoveFiles.
        .customAction(L"TW_AuthorAction", msidbCustomActionTypeTextData | msidbCustomActionTypeProperty, L"TW_MARK",
                      L"1")
        .sequence(L"TW_AuthorAction", 3499);
    package.build();

    const ToolRun first = runTool(package.path());
    ASSERT_EQ(0u, first.code) << first.output;
    EXPECT_EQ((Rows{{L"Tidewell"}}), query(package.path(), L"SELECT `Name` FROM `Binary`"));
    // The actions are bound exactly as the kit binds them.
    Rows kitActions = kitRows(L"CustomAction.idt"),
         actions = query(package.path(), kActionsQuery + L" WHERE `Source` = 'Tidewell'");
    std::sort(kitActions.begin(), kitActions.end());
    std::sort(actions.begin(), actions.end());
    EXPECT_EQ(kitActions, actions);
    const std::map<std::wstring, int> sequence = sequenceOf(package.path());
    // Every action of the kit at the kit's number, but for the two that would take the
    // author's 3499 or stand above it: they move down, still before RemoveFiles.
    std::map<std::wstring, int> expected;
    for (const auto& row : kitRows(L"InstallExecuteSequence.idt")) expected[row[0]] = parseDecimal(row[2]);
    expected[L"VU_UndoRemoveFiles"] = 3497;
    expected[L"VU_RemoveFilesImmediate"] = 3498;
    ASSERT_EQ(9u, expected.size());
    for (const auto& [action, number] : expected) {
        const auto found = sequence.find(action);
        ASSERT_NE(sequence.end(), found) << toUtf8(action) << " is not sequenced";
        EXPECT_EQ(number, found->second) << toUtf8(action);
    }

    // A second run finds everything in place and changes no row.
    const Rows before = query(package.path(), kActionsQuery);
    const ToolRun second = runTool(package.path());
    ASSERT_EQ(0u, second.code) << second.output;
    EXPECT_EQ(before, query(package.path(), kActionsQuery));
    EXPECT_EQ(sequence, sequenceOf(package.path()));

    // The author's rows for the library's tables.
    execute(package.path(), {L"INSERT INTO `VU_RemoveFile` (`RemoveFile`, `Condition`, `Options`) "
                             L"VALUES ('rfStaleLogs', 'NOT Installed', 0)"});

    const RunResult install = package.install();
    ASSERT_EQ(0u, install.code);
    EXPECT_TRUE(install.logHas(L"OnVuRestoreImmediate: scheduled VU_VuRestoreDeferred"));
    // File removal at work: the *.log files of DATADIR go at installation, nothing else.
    EXPECT_FALSE(exists(data / L"stale.log"));
    EXPECT_TRUE(exists(data / L"keep.txt"));

    const RunResult uninstall = package.uninstall();
    ASSERT_EQ(0u, uninstall.code);
    EXPECT_TRUE(uninstall.logHas(L"OnPromptUserBasicUI: no question"));
}

TEST(AddToPackage, RefusesPackagesItMustNotChangeAndLeavesThemAsTheyWere) {
    struct Case {
        const char* what;
        std::function<std::wstring()> make;  // writes the file, returns its path
        std::string says;                    // in the tool's message
        std::string notSays = {};            // a conflict that must not be reported
    };
    Package readOnly(L"add-read-only");
    Package conflictingAction(L"add-conflicting-action");
    Package otherColumns(L"add-other-columns");
    const Case cases[] = {
        {"not an MSI",
         [] {
             const std::wstring path = L"C:\\tw-packages\\add-not-a-package.msi";
             writeFile(path, "this is text, not a package\r\n");
             return path;
         },
         "is not a Windows Installer package"},
        {"read-only",
         [&] {
             readOnly.withoutBinaries().component(L"Main");
             const std::wstring path = readOnly.build();
             ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
             return path;
         },
         "is read-only"},
        {"a CustomAction of the library's name bound elsewhere",
         [&] {
             conflictingAction.component(L"Main")
                 .table(L"VU_RemoveFile")
                 .table(L"VU_MoveFile")
                 .customAction(L"VU_RemoveFilesImmediate", msidbCustomActionTypeDll, L"Tidewell",
                               L"OnVuRemoveFilesPermanent");
             return conflictingAction.build();
         },
         "CustomAction VU_RemoveFilesImmediate is already there",
         // The tests' own VU_ tables have the library's columns: only the action conflicts.
         "has other columns"},
        {"a custom table with other columns",
         [&] {
             otherColumns.withoutBinaries().component(L"Main");
             const std::wstring path = otherColumns.build();
             execute(path, {L"CREATE TABLE `VU_MoveFile` (`MoveFile` CHAR(72) NOT NULL, `Condition` CHAR(255) "
                            L"PRIMARY KEY `MoveFile`)"});
             return path;
         },
         "table VU_MoveFile has other columns"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = c.make();
        const std::string before = readFile(path);
        const ToolRun run = runTool(path);
        EXPECT_EQ(1u, run.code);
        EXPECT_NE(std::string::npos, run.output.find(c.says)) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("nothing was changed")) << run.output;
        if (!c.notSays.empty()) {
            EXPECT_EQ(std::string::npos, run.output.find(c.notSays)) << run.output;
        }
        EXPECT_TRUE(before == readFile(path)) << "the package was changed";
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
}

namespace {

// The bytes of the Binary row's stream.
std::string binaryStream(const std::wstring& path, const std::wstring& name) {
    unique_msihandle database, view, record;
    const std::wstring statement = L"SELECT `Data` FROM `Binary` WHERE `Name`='" + name + L"'";
    if (::MsiOpenDatabaseW(path.c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY), database.put()) != 0 ||
        ::MsiDatabaseOpenViewW(database.get(), statement.c_str(), view.put()) != 0 ||
        ::MsiViewExecute(view.get(), 0) != 0 || ::MsiViewFetch(view.get(), record.put()) != 0)
        return {};
    std::string bytes;
    char chunk[65536];
    for (DWORD read = sizeof chunk; read == sizeof chunk;) {
        read = sizeof chunk;
        if (::MsiRecordReadStream(record.get(), 1, chunk, &read) != ERROR_SUCCESS) return {};
        bytes.append(chunk, read);
    }
    return bytes;
}

}  // namespace

TEST(AddToPackage, ChoosesTheLibraryByThePackagesPlatformAndRefusesOtherPlatforms) {
    // Each package platform (the Template summary property) and --platform, beside the DLL
    // that goes into the Binary row; no DLL: refused, the package's bytes unchanged.
    const struct {
        const wchar_t* name;
        const wchar_t* platform;
        std::vector<std::wstring> flags;
        const wchar_t* library;  // nullptr: refused
    } cases[] = {
        {L"platform-intel", L"Intel", {}, L"Tidewell.dll"},
        {L"platform-x64", L"x64", {}, L"Tidewell64.dll"},
        {L"platform-x64-chosen-intel", L"x64", {L"--platform", L"Intel"}, L"Tidewell.dll"},
        {L"platform-intel64", L"Intel64", {}, nullptr},
        {L"platform-arm64", L"Arm64", {}, nullptr},
        {L"platform-empty", L"", {}, nullptr},
        {L"platform-chosen-other", L"Intel", {L"--platform", L"Arm64"}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.name));
        Package package(c.name);
        package.component(L"Main").withoutBinaries().platform(c.platform);
        const std::wstring path = package.build();
        const std::string before = readFile(path);
        std::vector<std::wstring> arguments = {path};
        arguments.insert(arguments.end(), c.flags.begin(), c.flags.end());
        const ToolRun add = test::runTool(L"tidewell-add.exe", arguments);
        if (!c.library) {
            EXPECT_EQ(1u, add.code) << add.output;
            EXPECT_NE(std::string::npos, add.output.find("tidewell-add: refused: ")) << add.output;
            EXPECT_NE(std::string::npos, add.output.find("Tidewell.dll serves Intel packages and Tidewell64.dll x64"))
                << add.output;
            EXPECT_EQ(before, readFile(path)) << "a refused package keeps its bytes";
            continue;
        }
        EXPECT_EQ(0u, add.code) << add.output;
        EXPECT_NE(std::string::npos, add.output.find("added " + toUtf8(c.library))) << add.output;
        const std::string expected = readFile(binFolder() + c.library);
        ASSERT_FALSE(expected.empty()) << toUtf8(c.library) << " is not in the bin folder (build both libraries)";
        EXPECT_TRUE(binaryStream(path, L"Tidewell") == expected) << "the Binary row holds " << toUtf8(c.library);
    }
}
