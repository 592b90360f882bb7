// The row decision against real component states: a test action asks it for every
// case row, once while the product is installed and once while it is removed.
#include <windows.h>
#include <msidefs.h>
#include <gtest/gtest.h>

#include <map>

#include "common/text.h"
#include "package.h"
#include "probe.h"

using namespace tidewell::test;

namespace {

struct Case {
    const wchar_t* name;
    const wchar_t* component;
    const wchar_t* installMode;
    const wchar_t* condition;
    bool atInstall;
    bool atUninstall;
};

// "Inst" is installed with the product and removed with it; "Idle" belongs to a feature
// that is never installed; "Ghost" is no component at all.
const Case kCases[] = {
    {L"mode-empty", L"Inst", L"", L"", true, false},
    {L"mode1-true", L"Inst", L"1", L"1", true, false},
    {L"mode1-false", L"Inst", L"1", L"0", false, false},
    {L"mode1-invalid", L"Inst", L"1", L"((", false, false},
    {L"mode1-unset-property", L"Inst", L"1", L"NOT_SET_ANYWHERE", false, false},
    {L"mode2-empty", L"Inst", L"2", L"", false, true},
    {L"mode2-false", L"Inst", L"2", L"0", false, false},
    {L"mode2-remove-all", L"Inst", L"2", L"REMOVE=\"ALL\"", false, true},
    {L"mode3-empty", L"Inst", L"3", L"", true, true},
    {L"mode3-false", L"Inst", L"3", L"0", false, false},
    {L"idle-mode1", L"Idle", L"1", L"", false, false},
    {L"idle-mode2", L"Idle", L"2", L"", false, false},
    {L"idle-mode3", L"Idle", L"3", L"", false, false},
    {L"ghost-mode1", L"Ghost", L"1", L"", false, false},
    {L"ghost-mode3", L"Ghost", L"3", L"", false, false},
    {L"ghost-mode0-false", L"Ghost", L"0", L"0", true, true},
    {L"ghost-mode7", L"Ghost", L"7", L"((", true, true},
};

// Each case's decision and its reason.
std::map<std::wstring, std::pair<bool, std::wstring>> decisions() {
    std::map<std::wstring, std::pair<bool, std::wstring>> result;
    for (const auto& line : probeLines(L"select.txt")) {
        const size_t equals = line.find(L'=');
        result[line.substr(0, equals)] = {line.substr(equals + 1, 1) == L"1", line.substr(equals + 3)};
    }
    return result;
}

}  // namespace

TEST(RowSelection, DecidesByComponentStateInstallModeAndCondition) {
    Package package(L"row-selection");
    package.component(L"Inst")
        .rows(L"Feature", {{L"Off", L"", L"Off", L"", L"1", L"0", L"", L"0"}})
        .rows(L"Component", {{L"Idle", newGuid(), L"TARGETDIR", L"0", L"", L""}})
        .rows(L"FeatureComponents", {{L"Off", L"Idle"}})
        .testAction(L"TW_ProbeSelect", msidbCustomActionTypeDll, L"ProbeSelectRow")
        .sequence(L"TW_ProbeSelect", 1700);
    for (const auto& c : kCases) package.rows(L"TW_SelectCase", {{c.name, c.component, c.condition, c.installMode}});

    clearProbe();
    ASSERT_EQ(0u, package.install().code);
    const auto atInstall = decisions();
    clearProbe();
    ASSERT_EQ(0u, package.uninstall().code);
    const auto atUninstall = decisions();

    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "case " << tidewell::toUtf8(c.name));
        ASSERT_EQ(1u, atInstall.count(c.name));
        ASSERT_EQ(1u, atUninstall.count(c.name));
        EXPECT_EQ(c.atInstall, atInstall.at(c.name).first) << "at install";
        EXPECT_EQ(c.atUninstall, atUninstall.at(c.name).first) << "at uninstall";
    }
    // The reasons that the log shows: an empty condition holds without being asked, and
    // install mode 3 gives the reason of the test that holds, or both when neither does.
    const std::wstring installing = L"component 'Inst' installed absent, requested local";
    const std::wstring removing = L"component 'Inst' installed local, requested absent";
    const std::wstring ghost = L"component 'Ghost' is not known to the installer";
    EXPECT_EQ(installing + L", condition true", atInstall.at(L"mode-empty").second);
    EXPECT_EQ(installing + L", but condition '0' is false; " + installing + L": not being removed",
              atInstall.at(L"mode3-false").second);
    EXPECT_EQ(removing + L", condition true", atUninstall.at(L"mode3-empty").second);
    EXPECT_EQ(ghost + L"; " + ghost, atUninstall.at(L"ghost-mode3").second);
}
