// Command scripts: the command texts, the code page cmd.exe reads them in, items told
// whether they arrived, device paths and the choice of the user a script runs as.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>
#include <sddl.h>

#include <iterator>
#include <optional>
#include <stdexcept>

#include "common/text.h"
#include "common/unique_any.h"
#include "win/paths.h"

#include "win/user_process.h"
#include "win/command_script.h"
#include "log_lines.h"
#include "scoped_variable.h"
#include "test_fs.h"

using namespace tidewell;

namespace {

// xcopy as the scripts call it: by its full path in the system folder.
std::wstring xcopy() { return L"\"" + windowsFolder() + L"\\system32\\xcopy.exe\""; }

std::vector<std::wstring> scriptsInTemp() {
    std::vector<std::wstring> scripts;
    for (const auto& name : test::listTree(tempFolder()))
        if (name.size() > 4 && name.compare(name.size() - 4, 4, L".bat") == 0) scripts.push_back(name);
    return scripts;
}

}  // namespace

// Full paths everywhere: no command changes the current folder (cmd.exe would look for
// programs there first) and xcopy is named by its path in the system folder. Each item
// also says what the library looks at afterwards.
TEST(CommandScript, CommandTexts) {
    const std::wstring x = xcopy();
    struct Case {
        const char* what;
        ScriptItem item;
        std::wstring expected;
        Arrival arrival;
        std::wstring source, arrived;
    } cases[] = {
        {"single item with a blank, into a new folder",
         buildMoveCommands(L"C:\\My Data\\log files", L"C:\\VU_RecycleBin\\{G}\\0", SourcePart::Item,
                           DestinationFolder::Create, ExistingTarget::Refuse),
         L"mkdir \"C:\\VU_RecycleBin\\{G}\\0\\\"\r\n"
         L"if not exist \"C:\\My Data\\log files\" if exist \"C:\\VU_RecycleBin\\{G}\\0\\log files\" exit /b 0\r\n"
         L"if exist \"C:\\VU_RecycleBin\\{G}\\0\\log files\" exit /b 1\r\n"
         L"move /Y \"C:\\My Data\\log files\" \"C:\\VU_RecycleBin\\{G}\\0\\\"\r\n"
         L"if exist \"C:\\My Data\\log files\\*\" " + x + L" /E /Y /K /H /I \"C:\\My Data\\log files\" \"C:\\VU_RecycleBin\\{G}\\0\\log files\"\r\n"
         L"if exist \"C:\\My Data\\log files\\*\" if not errorlevel 1 (del /Q /F /S \"C:\\My Data\\log files\\*\" & rmdir /Q /S \"C:\\My Data\\log files\")\r\n"
         L"if exist \"C:\\My Data\\log files\" exit /b 1\r\n"
         L"if not exist \"C:\\VU_RecycleBin\\{G}\\0\\log files\" exit /b 1\r\nexit /b 0\r\n",
         Arrival::Moved, L"C:\\My Data\\log files", L"C:\\VU_RecycleBin\\{G}\\0\\log files"},
        {"contents of item folder 5 into a folder on another drive, made first",
         buildMoveCommands(L"D:\\VU_RecycleBin\\{G}\\5", L"N:\\data", SourcePart::Contents, DestinationFolder::Create,
                           ExistingTarget::Replace),
         L"mkdir \"N:\\data\\\"\r\n"
         L"if exist \"D:\\VU_RecycleBin\\{G}\\5\\*\" " + x + L" /E /Y /K /H /I \"D:\\VU_RecycleBin\\{G}\\5\\*\" \"N:\\data\\\"\r\n"
         L"if exist \"D:\\VU_RecycleBin\\{G}\\5\\*\" if not errorlevel 1 (del /Q /F /S \"D:\\VU_RecycleBin\\{G}\\5\\*\" & rmdir /Q /S \"D:\\VU_RecycleBin\\{G}\\5\")\r\n"
         L"rmdir \"D:\\VU_RecycleBin\\{G}\\5\"\r\n"
         L"if exist \"D:\\VU_RecycleBin\\{G}\\5\" exit /b 1\r\nexit /b 0\r\n",
         Arrival::Emptied, L"D:\\VU_RecycleBin\\{G}\\5", L""},
        {"a percent sign is doubled",
         buildCopyCommands(L"C:\\50%\\a.txt", L"C:\\s\\1", SourcePart::Item, DestinationFolder::Existing),
         L"if exist \"C:\\50%%\\a.txt\\*\" (" + x + L" /E /Y /K /H /I \"C:\\50%%\\a.txt\" \"C:\\s\\1\\a.txt\") "
         L"else (" + x + L" /Y /K /H \"C:\\50%%\\a.txt\" \"C:\\s\\1\\\")\r\nif errorlevel 1 exit /b 1\r\n"
         L"if not exist \"C:\\s\\1\\a.txt\" exit /b 1\r\nexit /b 0\r\n",
         Arrival::Copied, L"C:\\50%\\a.txt", L"C:\\s\\1\\a.txt"},
        {"a folder's contents are copied",
         buildCopyCommands(L"N:\\share\\data\\", L"C:\\s\\2", SourcePart::Contents, DestinationFolder::Create),
         L"mkdir \"C:\\s\\2\\\"\r\n" + x + L" /E /Y /K /H /I \"N:\\share\\data\\*\" \"C:\\s\\2\\\"\r\n"
         L"if errorlevel 1 exit /b 1\r\nexit /b 0\r\n",
         Arrival::Copied, L"N:\\share\\data", L"C:\\s\\2\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, c.item.commands) << c.what;
        EXPECT_EQ(c.arrival, c.item.arrival) << c.what;
        EXPECT_EQ(c.source, c.item.source) << c.what;
        EXPECT_EQ(c.arrived, c.item.arrived) << c.what;
    }
}

// One script, several items: each is told whether it arrived, and one that fails leaves
// its source alone. The missing parent's item finds a folder of the same leaf name where
// the test starts the script: a relative name would take that one.
TEST(CommandScript, EachItemIsToldWhetherItArrived) {
    test::TestFolder folder(L"C:\\tw-script-items");
    test::writeFile(folder / L"src\\a b!\\in.txt", "a");
    test::writeFile(folder / L"src\\file.txt", "f");
    test::writeFile(folder / L"start\\decoy\\keep.txt", "k");
    test::writeFile(folder / L"src\\kept.txt", "old");
    test::writeFile(folder / L"newer\\kept.txt", "newer");
    test::makeFolder(folder / L"store");
    struct Case {
        const char* what;
        ScriptItem commands;
        bool arrives;
    } cases[] = {
        {"a folder moves", buildMoveCommands(folder / L"src\\a b!", folder / L"store\\0", SourcePart::Item,
                                             DestinationFolder::Create, ExistingTarget::Refuse), true},
        {"its parent is missing", buildMoveCommands(folder / L"gone\\decoy", folder / L"store\\1", SourcePart::Item,
                                                    DestinationFolder::Create, ExistingTarget::Replace), false},
        {"a file is copied", buildCopyCommands(folder / L"src\\file.txt", folder / L"store\\2", SourcePart::Item,
                                               DestinationFolder::Create), true},
        {"the source is missing", buildMoveCommands(folder / L"src\\none", folder / L"store\\3", SourcePart::Item,
                                                    DestinationFolder::Create, ExistingTarget::Replace), false},
        {"something stands at the destination", buildMoveCommands(folder / L"src\\kept.txt", folder / L"newer",
                                                                  SourcePart::Item, DestinationFolder::Existing,
                                                                  ExistingTarget::Refuse), false},
    };
    std::vector<int> heard(std::size(cases), -1);
    {
        wchar_t previous[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, previous);
        ASSERT_TRUE(SetCurrentDirectoryW((folder / L"start").c_str()));
        CommandScript script;
        for (size_t i = 0; i < std::size(cases); ++i)
            ASSERT_TRUE(script.add(cases[i].commands, [&heard, i](bool arrived) { heard[i] = arrived ? 1 : 0; }));
        EXPECT_FALSE(script.runInOwnAccount()) << "not every item arrived";
        SetCurrentDirectoryW(previous);
    }
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].arrives ? 1 : 0, heard[i]) << cases[i].what;
    EXPECT_EQ("a", test::readFile(folder / L"store\\0\\a b!\\in.txt"));
    EXPECT_EQ("f", test::readFile(folder / L"store\\2\\file.txt"));
    EXPECT_EQ("f", test::readFile(folder / L"src\\file.txt"));
    EXPECT_EQ("k", test::readFile(folder / L"start\\decoy\\keep.txt")) << "the failed pushd moved nothing";
    EXPECT_FALSE(test::exists(folder / L"store\\1\\decoy"));
    EXPECT_EQ("newer", test::readFile(folder / L"newer\\kept.txt")) << "what stood there is not replaced";
    EXPECT_EQ("old", test::readFile(folder / L"src\\kept.txt")) << "and the item stays where it was";
    EXPECT_EQ(std::vector<std::wstring>{}, scriptsInTemp()) << "the script is deleted after its run";
}

// What the script says does not count: an item arrived when the library, looking
// afterwards, finds it where it goes (and, moved, gone from where it was; copied, whole).
TEST(CommandScript, AnItemArrivesByWhatTheLibrarySeesNotByWhatTheScriptSays) {
    test::TestFolder folder(L"C:\\tw-script-seen");
    test::writeFile(folder / L"stays\\item.txt", "item");
    test::writeFile(folder / L"store\\0\\item.txt", "item");
    test::writeFile(folder / L"store\\1\\moved.txt", "moved");
    test::writeFile(folder / L"copy\\source.txt", "whole");
    test::writeFile(folder / L"store\\2\\source.txt", "who");
    test::writeFile(folder / L"store\\3\\copy\\source.txt", "whole");
    struct Case {
        const char* what;
        ScriptItem item;
        bool arrives;
    } cases[] = {
        {"the script says a move arrived, but the source is still there",
         {L"exit /b 0\r\n", Arrival::Moved, folder / L"stays\\item.txt", folder / L"store\\0\\item.txt"}, false},
        {"the script says a move failed, but it is in place",
         {L"exit /b 1\r\n", Arrival::Moved, folder / L"gone\\moved.txt", folder / L"store\\1\\moved.txt"}, true},
        {"the script says a copy arrived, but it is short",
         {L"exit /b 0\r\n", Arrival::Copied, folder / L"copy\\source.txt", folder / L"store\\2\\source.txt"}, false},
        {"the script says a copy failed, but it is whole",
         {L"exit /b 1\r\n", Arrival::Copied, folder / L"copy", folder / L"store\\3\\copy"}, true},
        {"the script says a folder was emptied away, but it stands",
         {L"exit /b 0\r\n", Arrival::Emptied, folder / L"copy", L""}, false},
    };
    std::vector<int> heard(std::size(cases), -1);
    test::Lines log;
    CommandScript script(&log);
    for (size_t i = 0; i < std::size(cases); ++i)
        ASSERT_TRUE(script.add(cases[i].item, [&heard, i](bool arrived) { heard[i] = arrived ? 1 : 0; }));
    EXPECT_FALSE(script.runInOwnAccount());
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].arrives ? 1 : 0, heard[i]) << cases[i].what;
    EXPECT_TRUE(log.has(L"the script ended with status 2: 2 of 5 items arrived")) << "its status beside what was seen";
}

namespace {

// A program of xcopy's name that says it succeeded and leaves a mark.
void plantXcopy(const std::wstring& folder, const std::wstring& mark) {
    for (const wchar_t* name : {L"xcopy.bat", L"xcopy.cmd"})
        test::writeFile(folder + L"\\" + name, "@echo planted > \"" + toUtf8(mark) + "\"\r\n@exit /b 0\r\n");
}

}  // namespace

// A program of xcopy's name beside the item, above it, or in the folder the script is
// started from does not run: the script calls xcopy by its path in the system folder, and
// the items (a file and a folder copied, a folder moved to another drive, where only
// xcopy can take it) arrive whole.
TEST(CommandScript, AProgramPlantedBesideTheItemDoesNotRun) {
    test::TestFolder folder(L"C:\\tw-script-planted");
    test::TestFolder other(L"D:\\tw-script-planted");
    const std::wstring mark = L"C:\\tw-script-planted-ran.txt";
    DeleteFileW(mark.c_str());
    test::writeFile(folder / L"share\\data\\file.txt", "file");
    test::writeFile(folder / L"share\\tree\\in\\deep.txt", "deep");
    test::writeFile(folder / L"share\\moving\\in\\deep.txt", "moving");
    for (const auto& place : {folder / L"share", folder / L"share\\data", folder / L"share\\tree", folder.path()})
        plantXcopy(place, mark);
    const ScriptItem items[] = {
        buildCopyCommands(folder / L"share\\data\\file.txt", folder / L"store\\0", SourcePart::Item, DestinationFolder::Create),
        buildCopyCommands(folder / L"share\\tree", folder / L"store\\1", SourcePart::Item, DestinationFolder::Create),
        buildMoveCommands(folder / L"share\\moving", other / L"store\\2", SourcePart::Item, DestinationFolder::Create,
                          ExistingTarget::Refuse),
    };
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    CommandScript script;
    for (const auto& item : items) ASSERT_TRUE(script.add(item, [](bool) {}));
    EXPECT_TRUE(script.runInOwnAccount()) << "every item arrived";
    SetCurrentDirectoryW(previous);
    EXPECT_FALSE(test::exists(mark)) << "a planted xcopy ran";
    EXPECT_EQ("file", test::readFile(folder / L"store\\0\\file.txt"));
    EXPECT_EQ("deep", test::readFile(folder / L"store\\1\\tree\\in\\deep.txt"));
    EXPECT_EQ("moving", test::readFile(other / L"store\\2\\moving\\in\\deep.txt"));
    EXPECT_FALSE(test::exists(folder / L"share\\moving"));
    DeleteFileW(mark.c_str());
}

TEST(CommandScript, ScriptTextUsesTheOemCodePageAndRefusesWhatItLacks) {
    std::string bytes;
    ASSERT_TRUE(toScriptText(L"caf\u00e9", bytes));
    std::wstring back(bytes.size(), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), back.data(), static_cast<int>(back.size()));
    EXPECT_EQ(L"caf\u00e9", back);
    EXPECT_FALSE(toScriptText(L"\u0416\u0444", bytes)) << "Cyrillic is not in the OEM code page here";
}

// A name with cmd.exe's special characters moves through the script; a name the script's
// code page cannot hold is refused before anything is written, and stays where it is.
TEST(CommandScript, FolderMovesThroughCmdOrIsRefusedWhenCmdCannotNameIt) {
    test::TestFolder folder(L"C:\\tw-user-script");
    struct Case {
        std::wstring name;
        bool scriptable;
    } cases[] = {{L"Odd & (\u00e9) 'x'", true}, {L"\u0416\u0443\u0440\u043d\u0430\u043b", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(test::listTree(folder.path()).size());
        test::writeFile(folder / (c.name + L"\\in.txt"), "in");
        CreateDirectoryW((folder / L"dest").c_str(), nullptr);
        CommandScript script(nullptr);
        bool arrived = false;
        ASSERT_EQ(c.scriptable, script.add(buildMoveCommands(folder / c.name, folder / L"dest", SourcePart::Item,
                                                             DestinationFolder::Existing, ExistingTarget::Refuse),
                                           [&arrived](bool done) { arrived = done; }));
        EXPECT_TRUE(script.runInOwnAccount());
        EXPECT_EQ(c.scriptable, arrived);
        EXPECT_EQ(!c.scriptable, test::exists(folder / c.name));
        if (c.scriptable) {
            EXPECT_EQ("in", test::readFile(folder / (L"dest\\" + c.name + L"\\in.txt")));
        }
        test::removeTree(folder / L"dest");
    }
}

TEST(UserProcess, DevicePathsBecomeDriveLetterPaths) {
    wchar_t device[MAX_PATH];
    ASSERT_NE(0u, QueryDosDeviceW(L"C:", device, MAX_PATH));
    EXPECT_EQ(L"c:\\windows\\syswow64\\msiexec.exe", driveLetterPath(std::wstring(device) + L"\\windows\\syswow64\\msiexec.exe"));
    EXPECT_EQ(L"\\x.exe", driveLetterPath(L"\\Device\\NoSuchVolume\\x.exe"));
    EXPECT_EQ(L"C:\\a.exe", driveLetterPath(L"C:\\a.exe"));
}

namespace {

std::vector<unsigned char> sidBytes(const wchar_t* text) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(text, &sid)) return {};
    const auto* bytes = static_cast<const unsigned char*>(sid);
    std::vector<unsigned char> result(bytes, bytes + GetLengthSid(sid));
    LocalFree(sid);
    return result;
}

std::wstring ownSid() {
    HANDLE raw = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw);
    const unique_handle token(raw);
    unsigned char buffer[256];
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size)) return {};
    LPWSTR text = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    std::wstring result = text ? text : L"";
    LocalFree(text);
    return result;
}

std::wstring ownImage() {
    wchar_t image[MAX_PATH];
    const DWORD length = K32GetProcessImageFileNameW(GetCurrentProcess(), image, MAX_PATH);
    return driveLetterPath(std::wstring(image, length));
}

}  // namespace

// Only the installing user's own installer process in this session is chosen, and only
// one: the first that fits.
TEST(UserProcess, TheInstallingUsersProcessIsChosenOnce) {
    const wchar_t* user = L"S-1-5-21-1-2-3-1000";
    const std::wstring msiexec = L"c:\\windows\\syswow64\\msiexec.exe";
    const std::vector<std::wstring> images{L"C:\\Windows\\SysWOW64\\msiexec.exe", L"C:\\Windows\\system32\\msiexec.exe"};
    const ProcessOwner system{msiexec, sidBytes(L"S-1-5-18"), 1};
    const ProcessOwner other{msiexec, sidBytes(L"S-1-5-21-1-2-3-1001"), 1};
    const ProcessOwner elsewhere{msiexec, sidBytes(user), 2};
    const ProcessOwner notInstaller{L"c:\\windows\\explorer.exe", sidBytes(user), 1};
    const ProcessOwner unreadable{msiexec, {}, 1};
    const ProcessOwner mine{msiexec, sidBytes(user), 1};
    const ProcessOwner mineToo{L"C:\\WINDOWS\\system32\\MSIEXEC.EXE", sidBytes(user), 1};
    struct Case {
        const char* what;
        std::vector<ProcessOwner> candidates;
        std::optional<size_t> chosen;
    } cases[] = {
        {"SYSTEM's and another user's installers are passed over", {system, other, mine}, 2},
        {"the user's installer in another session is not theirs here", {elsewhere, notInstaller, unreadable}, {}},
        {"of two of the user's installers, the first (case of the image ignored)", {mineToo, mine}, 0},
        {"nothing runs", {}, {}},
    };
    const std::vector<unsigned char> userSid = sidBytes(user);
    for (const auto& c : cases) {
        EXPECT_EQ(c.chosen, pickInstallingUserProcess(const_cast<unsigned char*>(userSid.data()), 1, images,
                                                      c.candidates))
            << c.what;
    }
    EXPECT_EQ(std::nullopt, pickInstallingUserProcess(nullptr, 1, images, {mine})) << "no user, no choice";
}

// The whole road as the user: found by SID among the running processes of an image (this
// test program stands in for msiexec.exe), the script written into the user's temporary
// folder and run with the user's environment. A SID that owns no such process runs
// nothing, and its items are told that they did not arrive.
TEST(UserProcess, TheScriptRunsOnlyAsTheUserWhoseProcessRuns) {
    test::TestFolder folder(L"C:\\tw-script-user");
    struct Case {
        const char* what;
        std::wstring sid;
        bool runs;
    } cases[] = {
        {"this process's own user", ownSid(), true},
        {"SYSTEM, which owns no such process here", L"S-1-5-18", false},
        {"an unknown user", L"", false},
    };
    ASSERT_FALSE(ownSid().empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::writeFile(folder / L"item.txt", "i");
        int heard = -1;
        CommandScript script;
        ASSERT_TRUE(script.add(buildMoveCommands(folder / L"item.txt", folder / L"store", SourcePart::Item,
                                                 DestinationFolder::Create, ExistingTarget::Refuse),
                               [&heard](bool arrived) { heard = arrived; }));
        EXPECT_EQ(c.runs, script.runAsUserOf(c.sid, {ownImage()}));
        EXPECT_EQ(c.runs ? 1 : 0, heard);
        EXPECT_EQ(!c.runs, test::exists(folder / L"item.txt"));
        EXPECT_EQ(c.runs, test::exists(folder / L"store\\item.txt"));
        test::removeTree(folder / L"store");
    }
}

// The user's script file goes however the run ends: here a report throws after the run,
// and the file is deleted (acting as the user) on the way out all the same.
TEST(UserProcess, TheUsersScriptFileGoesWhenTheRunEndsInAnException) {
    test::TestFolder folder(L"C:\\tw-script-thrown");
    test::writeFile(folder / L"item.txt", "i");
    ASSERT_EQ(std::vector<std::wstring>{}, scriptsInTemp());
    CommandScript script;
    ASSERT_TRUE(script.add(buildMoveCommands(folder / L"item.txt", folder / L"store", SourcePart::Item,
                                             DestinationFolder::Create, ExistingTarget::Refuse),
                           [](bool) { throw std::runtime_error("report failed"); }));
    EXPECT_THROW(script.runAsUserOf(ownSid(), {ownImage()}), std::runtime_error);
    EXPECT_TRUE(test::exists(folder / L"store\\item.txt")) << "the script ran";
    EXPECT_EQ(std::vector<std::wstring>{}, scriptsInTemp());
}

namespace {

constexpr DWORD kHandleCameAlong = 41, kHandleStayedBehind = 42;
constexpr const wchar_t* kProbeVariable = L"TIDEWELL_TEST_HANDLE_PROBE";

std::wstring probeCommandLine(const std::wstring& self) {
    return L"\"" + self + L"\" --gtest_also_run_disabled_tests --gtest_filter=UserProcess.DISABLED_TellsWhetherTheHandleCameAlong";
}

}  // namespace

// The child of the test below: whether the parent's signalled event is in this process
// under the same value (the exit code tells).
TEST(UserProcess, DISABLED_TellsWhetherTheHandleCameAlong) {
    wchar_t value[32] = {};
    GetEnvironmentVariableW(kProbeVariable, value, 32);
    const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(wcstoull(value, nullptr, 10)));
    DWORD flags = 0;
    const bool here = handle != nullptr && GetHandleInformation(handle, &flags) &&
                      WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    ExitProcess(here ? kHandleCameAlong : kHandleStayedBehind);
}

// The user's program gets its standard handles and none of the other inheritable handles
// of the installer's process; the same start with plain inheritance shows that the probe
// sees a handle that came along.
TEST(UserProcess, TheProgramInheritsOnlyItsStandardHandles) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const unique_handle event(CreateEventW(&inheritable, TRUE, TRUE, nullptr));
    ASSERT_TRUE(event);
    const test::ScopedVariable probe(kProbeVariable,
                                     std::to_wstring(reinterpret_cast<ULONG_PTR>(event.get())).c_str());
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::wstring line = probeCommandLine(self);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
    const unique_handle child(process.hProcess), thread(process.hThread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.get(), 60000));
    DWORD code = 0;
    GetExitCodeProcess(child.get(), &code);
    ASSERT_EQ(kHandleCameAlong, code) << "plain inheritance passes the handle on";

    const ProgramRun run = runProgram(self, probeCommandLine(self));
    ASSERT_TRUE(run.started) << run.error;
    EXPECT_EQ(kHandleStayedBehind, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("DISABLED_TellsWhetherTheHandleCameAlong"))
        << "its standard output still reaches the caller";
}
