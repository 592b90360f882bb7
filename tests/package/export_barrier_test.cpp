// An exception inside an export never reaches the installer: the barrier logs the
// runtime's text and returns the export's documented result, in a real installation.
#include <gtest/gtest.h>
#include <msidefs.h>

#include "package.h"

using namespace tidewell::test;

TEST(ExportBarrier, RuntimeExceptionIsLoggedAndBecomesTheExportsResult) {
    Package package(L"export-barrier");
    package.component(L"Main")
        .testAction(L"TW_Throw", msidbCustomActionTypeDll, L"ThrowInsideBarrier")
        .sequence(L"TW_Throw", 1700);
    const RunResult result = package.install();
    EXPECT_EQ(static_cast<unsigned>(ERROR_INSTALL_FAILURE), result.code);
    // The text is the runtime's own, carried by the trimmed runtime's exception.
    EXPECT_TRUE(result.logHas(L"ThrowInsideBarrier: stopped by an internal error: vector::reserve"));
}
