// The script file of a run: written and deleted only as its account, and held while it
// lives so that nobody can change, rename or delete it, while it can still be read (as
// cmd.exe reads it).
#include <gtest/gtest.h>
#include <windows.h>

#include "common/unique_any.h"
#include "win/script_file.h"
#include "log_lines.h"
#include "test_fs.h"

using namespace tidewell;

namespace {

unique_handle ownToken(DWORD access) {
    unique_handle token;
    OpenProcessToken(GetCurrentProcess(), access, token.put());
    return token;
}

}  // namespace

TEST(ScriptFile, HeldWhileItLivesAndDeletedAsItsUser) {
    test::TestFolder folder(L"C:\\tw-script-file");
    const unique_handle token = ownToken(TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE);
    ASSERT_TRUE(token.is_valid());
    std::wstring path;
    {
        ScriptFile file(token.get(), nullptr);
        ASSERT_TRUE(file.write(folder.path(), "@echo off\r\n"));
        path = file.path();
        ASSERT_EQ(folder.path(), path.substr(0, folder.path().size()));
        const unique_hfile reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(reader.is_valid()) << "it can be read";
        struct Change {
            const char* what;
            bool done;
        } changes[] = {
            {"opened for writing",
             unique_hfile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr))
                 .is_valid()},
            {"renamed", MoveFileW(path.c_str(), (folder / L"other.bat").c_str()) != FALSE},
            {"deleted", DeleteFileW(path.c_str()) != FALSE},
        };
        for (const auto& change : changes) EXPECT_FALSE(change.done) << change.what;
        EXPECT_EQ("@echo off\r\n", test::readFile(path));
    }
    EXPECT_FALSE(test::exists(path)) << "deleted when its owner ends";
}

// A user whose token cannot be acted as gets no file at all: nothing is written in their
// folder with this process's own rights.
TEST(ScriptFile, NothingIsWrittenWhenTheUserCannotBeActedAs) {
    test::TestFolder folder(L"C:\\tw-script-file");
    const unique_handle queryOnly = ownToken(TOKEN_QUERY);
    ASSERT_TRUE(queryOnly.is_valid());
    test::Lines log;
    {
        ScriptFile file(queryOnly.get(), &log);
        EXPECT_FALSE(file.write(folder.path(), "@echo off\r\n"));
    }
    EXPECT_TRUE(log.has(L"cannot act as the script's user to write it"));
    EXPECT_EQ(std::vector<std::wstring>{}, test::listTree(folder.path()));
}
