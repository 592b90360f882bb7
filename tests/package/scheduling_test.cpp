// The hand-over from an immediate action to the actions it schedules, in real
// installations: a test action built on the library's scheduling schedules a deferred
// action that records the CustomActionData it receives.
#include <gtest/gtest.h>
#include <msidefs.h>

#include "common/text.h"
#include "msi/action_data.h"
#include "package.h"
#include "probe.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

constexpr int kImmediate = msidbCustomActionTypeDll;
constexpr int kDeferred = msidbCustomActionTypeDll | msidbCustomActionTypeInScript;

void addProbeActions(Package& package, const std::wstring& actions, const std::wstring& data) {
    package.component(L"Main")
        .property(L"PROBE_ACTIONS", actions)
        .property(L"PROBE_DATA", data)
        .property(L"PROBE_PROPERTIES", L"TW_ProbeDeferred")
        .testAction(L"TW_Schedule", kImmediate, L"ScheduleProbe")
        .testAction(L"TW_ProbeDeferred", kDeferred, L"RecordData")
        .sequence(L"TW_Schedule", 1700, L"NOT REMOVE");
}

}  // namespace

TEST(Scheduling, DeferredActionReceivesExactlyTheWorkListAndThePropertyIsClearedAgain) {
    const std::wstring F(1, kFieldSeparator), R(1, kRecordSeparator), G(1, kGroupSeparator);
    const std::wstring longField(1500, L'x');
    struct Case {
        const char* what;
        std::wstring data;
    } cases[] = {
        {"records with empty fields and a property group",
         F + L"C:\\a b\\" + F + F + R + L"k" + F + F + G + L"ALLUSERS" + F + L"1"},
        {"a field longer than 1,000 characters", L"key" + F + longField},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearProbe();
        Package package(L"schedule-work-list");
        addProbeActions(package, L"TW_ProbeDeferred", c.data);
        package.testAction(L"TW_Record", kImmediate, L"RecordProperties").sequence(L"TW_Record", 1710);
        const RunResult result = package.install();
        ASSERT_EQ(0u, result.code) << "install failed";
        EXPECT_EQ(std::vector<std::wstring>{c.data}, probeDeferredData());
        EXPECT_EQ(std::vector<std::wstring>{L"after:TW_ProbeDeferred="}, probeLines(L"immediate.txt"));
        EXPECT_EQ(std::vector<std::wstring>{L"TW_ProbeDeferred="}, probeLines(L"props.txt"));
        EXPECT_TRUE(result.logHas(L"ScheduleProbe: scheduled TW_ProbeDeferred"));
    }
}

TEST(Scheduling, EmptyWorkListArrivesAsNothing) {
    clearProbe();
    Package package(L"schedule-empty");
    addProbeActions(package, L"TW_ProbeDeferred", L"");
    ASSERT_EQ(0u, package.install().code);
    EXPECT_EQ(std::vector<std::wstring>{L""}, probeDeferredData());
}

TEST(Scheduling, UndefinedActionFailsTheExportAndNothingFurtherIsScheduled) {
    clearProbe();
    Package package(L"schedule-missing");
    addProbeActions(package, L"TW_Missing;TW_ProbeDeferred", L"work");
    const RunResult result = package.install();
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), result.code);
    EXPECT_EQ(std::vector<std::wstring>{L"failed:TW_Missing"}, probeLines(L"immediate.txt"));
    EXPECT_TRUE(probeDeferredData().empty());
    EXPECT_TRUE(result.logHas(L"ScheduleProbe: could not schedule TW_Missing")) << "log:\n" << toUtf8(result.log);
}

TEST(Scheduling, RestoreImmediateFailsWhenThePackageLacksTheRestoreActions) {
    Package package(L"restore-missing");
    package.component(L"Main")
        .withKit()
        .withoutAction(L"VU_VuRestoreRollback")
        .withoutAction(L"VU_VuRestoreDeferred")
        .kitSequence(L"VU_RestoreImmediate", L"")
        .expectFinding(L"missing-scheduled-action");
    const RunResult result = package.install();
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), result.code);
    EXPECT_TRUE(result.logHas(L"OnVuRestoreImmediate: could not schedule VU_VuRestoreRollback"));
    EXPECT_FALSE(result.logHas(L"VU_VuRestoreDeferred"));
}
