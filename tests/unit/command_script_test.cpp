// Command scripts: the command texts, the code page cmd.exe reads them in, device paths.
#include <gtest/gtest.h>

#include "win/user_process.h"
#include "win/command_script.h"
#include "test_fs.h"

using namespace tidewell;

TEST(CommandScript, CommandTexts) {
    struct Case {
        const char* what;
        std::wstring text, expected;
    } cases[] = {
        {"single item with a blank, into a new folder",
         buildMoveCommands(L"C:\\My Data\\log files", L"C:\\VU_RecycleBin\\{G}\\0", SourcePart::Item,
                           DestinationFolder::Create),
         L"mkdir \"C:\\VU_RecycleBin\\{G}\\0\\\"\r\n"
         L"pushd \"C:\\My Data\\\"\r\n"
         L"move /Y \"log files\" \"C:\\VU_RecycleBin\\{G}\\0\\\"\r\n"
         L"if exist \"log files\\*\" (xcopy /E /Y /K /H /I \"log files\" \"C:\\VU_RecycleBin\\{G}\\0\\log files\""
         L" && del /Q /F /S \"log files\" && rmdir /Q /S \"log files\")\r\n popd \r\n"},
        {"contents of item folder 5 into a folder on another drive",
         buildMoveCommands(L"D:\\VU_RecycleBin\\{G}\\5", L"N:\\data", SourcePart::Contents, DestinationFolder::Create),
         L"pushd \"D:\\VU_RecycleBin\\{G}\\\"\r\n"
         L"for /f \"tokens=*\" %%a in ('dir /b /a \"5\" ') do move /Y \"%cd%\\5\\%%a\" \"N:\\data\\\"\r\n"
         L"xcopy /E /Y /K /H /I \"5\\*\" \"N:\\data\\\"\r\n"
         L"del /Q /F /S \"5\\*\"\r\n rmdir /Q /S \"5\\*\"\r\n popd \r\n"},
        {"a percent sign is doubled",
         buildCopyCommands(L"C:\\50%\\a.txt", L"C:\\s\\1", SourcePart::Item, DestinationFolder::Existing),
         L"pushd \"C:\\50%%\\\"\r\nif exist \"a.txt\\*\" (xcopy /E /Y /K /H /I \"a.txt\" \"C:\\s\\1\\a.txt\") "
         L"else (xcopy /Y /K /H \"a.txt\" \"C:\\s\\1\\\")\r\n popd \r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, c.text) << c.what;
}

TEST(CommandScript, ScriptTextUsesTheOemCodePageAndRefusesWhatItLacks) {
    std::string bytes;
    ASSERT_TRUE(toScriptText(L"caf\u00e9", bytes));
    std::wstring back(bytes.size(), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), back.data(), static_cast<int>(back.size()));
    EXPECT_EQ(L"caf\u00e9", back);
    EXPECT_FALSE(toScriptText(L"\u0416\u0444", bytes)) << "Cyrillic is not in the OEM code page here";
}

TEST(CommandScript, FolderMovesThroughCmdOrTheShellWhenCmdCannotNameIt) {
    test::TestFolder folder(L"C:\\tw-user-script");
    for (const std::wstring name : {L"Odd & (\u00e9) 'x'", L"\u0416\u0443\u0440\u043d\u0430\u043b"}) {
        SCOPED_TRACE(test::listTree(folder.path()).size());
        test::writeFile(folder / (name + L"\\in.txt"), "in");
        CreateDirectoryW((folder / L"dest").c_str(), nullptr);
        EXPECT_TRUE(moveNow(folder / name, folder / L"dest", SourcePart::Item, DestinationFolder::Existing, nullptr));
        EXPECT_FALSE(test::exists(folder / name));
        EXPECT_EQ("in", test::readFile(folder / (L"dest\\" + name + L"\\in.txt")));
        test::removeTree(folder / L"dest");
    }
}

// A name cmd.exe cannot read makes the shell take the contents; the missing destination
// chain is made first, as the mkdir line of the commands would.
TEST(CommandScript, ShellMoveOfContentsMakesTheMissingDestinationFolders) {
    test::TestFolder folder(L"C:\\tw-command-script");
    const std::wstring name = L"\u0416\u0443\u0440\u043d\u0430\u043b";
    test::writeFile(folder / (name + L"\\in.txt"), "in");
    test::writeFile(folder / (name + L"\\sub\\deep.txt"), "deep");
    EXPECT_TRUE(moveNow(folder / name, folder / L"new\\deeper", SourcePart::Contents, DestinationFolder::Create,
                        nullptr));
    EXPECT_EQ("in", test::readFile(folder / L"new\\deeper\\in.txt"));
    EXPECT_EQ("deep", test::readFile(folder / L"new\\deeper\\sub\\deep.txt"));
    EXPECT_EQ(std::vector<std::wstring>{}, test::listTree(folder / name)) << "the source folder is emptied";
}

TEST(UserProcess, DevicePathsBecomeDriveLetterPaths) {
    wchar_t device[MAX_PATH];
    ASSERT_NE(0u, QueryDosDeviceW(L"C:", device, MAX_PATH));
    EXPECT_EQ(L"c:\\windows\\syswow64\\msiexec.exe", driveLetterPath(std::wstring(device) + L"\\windows\\syswow64\\msiexec.exe"));
    EXPECT_EQ(L"\\x.exe", driveLetterPath(L"\\Device\\NoSuchVolume\\x.exe"));
    EXPECT_EQ(L"C:\\a.exe", driveLetterPath(L"C:\\a.exe"));
}
