#include <windows.h>
#include <gtest/gtest.h>

#include "package.h"

namespace {
DWORD WINAPI idleThread(LPVOID) { return 0; }
}  // namespace

// The loader calls DllMain for process and thread attach and detach; a FALSE answer to
// the process attach would make LoadLibrary fail.
TEST(LibraryLoad, LoadsAndUnloadsWithThreadsComingAndGoing) {
    HMODULE library = LoadLibraryW((tidewell::test::binFolder() + L"Tidewell.dll").c_str());
    ASSERT_NE(nullptr, library);
    HANDLE thread = CreateThread(nullptr, 0, idleThread, nullptr, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    CloseHandle(thread);
    EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(library, "OnVuRestoreRollback")));
    EXPECT_TRUE(FreeLibrary(library));
}
