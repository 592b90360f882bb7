#include <windows.h>
#include <gtest/gtest.h>

#include "common/unique_any.h"
#include "package.h"

namespace {
DWORD WINAPI idleThread(LPVOID) { return 0; }
}  // namespace

// The loader calls DllMain for process and thread attach and detach; a FALSE answer to
// the process attach would make LoadLibrary fail.
TEST(LibraryLoad, LoadsAndUnloadsWithThreadsComingAndGoing) {
    tidewell::unique_hmodule library(LoadLibraryW((tidewell::test::binFolder() + tidewell::test::libraryFile()).c_str()));
    ASSERT_TRUE(library);
    const tidewell::unique_handle thread(CreateThread(nullptr, 0, idleThread, nullptr, 0, nullptr));
    ASSERT_TRUE(thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.get(), 10000));
    EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(library.get(), "OnVuRestoreRollback")));
    // The unload is what is tested here, so it is called and checked, not left to the owner.
    EXPECT_TRUE(FreeLibrary(library.release()));
}
