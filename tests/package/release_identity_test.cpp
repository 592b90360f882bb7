// The library and the tools carry a version resource with the project's version; the
// tools print the versions they put into a package, replace and find there.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "package.h"
#include "tool_run.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

struct VersionInfo {
    std::wstring fixed;  // a.b.c from the fixed part
    std::wstring fileVersion, productVersion, productName, description;
};

VersionInfo versionOf(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<char> block(size);
    VersionInfo info;
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return info;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
        info.fixed = toDecimal(HIWORD(fixed->dwFileVersionMS)) + L"." + toDecimal(LOWORD(fixed->dwFileVersionMS)) + L"." +
                     toDecimal(HIWORD(fixed->dwFileVersionLS));
    const auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        return ::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value
                   ? std::wstring(value)
                   : std::wstring();
    };
    info.fileVersion = text(L"FileVersion");
    info.productVersion = text(L"ProductVersion");
    info.productName = text(L"ProductName");
    info.description = text(L"FileDescription");
    return info;
}

bool has(const std::string& output, const std::string& text) { return output.find(text) != std::string::npos; }

}  // namespace

TEST(ReleaseIdentity, LibraryAndToolsCarryTheProjectVersion) {
    const std::wstring version = fromUtf8(TIDEWELL_VERSION);
    for (const std::wstring& file : {libraryFile(), std::wstring(L"tidewell-add.exe"), std::wstring(L"tidewell-check.exe")}) {
        SCOPED_TRACE(toUtf8(file));
        const VersionInfo info = versionOf(binFolder() + file);
        EXPECT_EQ(version, info.fixed);
        EXPECT_EQ(version, info.fileVersion);
        EXPECT_EQ(version, info.productVersion);
        EXPECT_EQ(L"Tidewell", info.productName);
        EXPECT_FALSE(info.description.empty());
    }
}

TEST(ReleaseIdentity, ToolsPrintTheVersionsTheyPutReplaceAndFind) {
    // TestActions.dll carries version 0.1.0: it stands for an older release in the package.
    struct Case {
        const wchar_t* name;
        std::vector<Row> binary;  // the package's Binary rows before tidewell-add
        std::string replaced;     // what tidewell-add says it replaces
    };
    const std::string library = toUtf8(libraryFile());  // the DLL of the package's platform, the build's
    const std::vector<Case> cases = {
        {L"version-new", {}, "the package had no Tidewell.dll or Tidewell64.dll before"},
        {L"version-update", {{L"Tidewell", binFolder() + L"TestActions.dll"}}, "it replaces " + library + " version 0.1.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.name));
        Package package(c.name);
        package.component(L"Main").withoutBinaries();
        if (!c.binary.empty()) package.rows(L"Binary", c.binary);
        package.build();
        const ToolRun add = runTool(L"tidewell-add.exe", {package.path()});
        EXPECT_EQ(0u, add.code) << add.output;
        EXPECT_TRUE(has(add.output, "added " + library + " version " TIDEWELL_VERSION " to ")) << add.output;
        EXPECT_TRUE(has(add.output, c.replaced)) << add.output;
        // Wine 8 keeps a Binary row's old stream when the row is deleted and inserted
        // again (Windows replaces it), so the checker's reading is compared only where
        // the row is new.
        if (!c.binary.empty()) continue;
        const ToolRun check = runTool(L"tidewell-check.exe", {package.path()});
        EXPECT_TRUE(has(check.output, "Binary row Tidewell holds " + library + " version " TIDEWELL_VERSION)) << check.output;
    }
}
