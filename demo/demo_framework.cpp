// The framework at work: an immediate action hands a work list to a deferred action.
#include <msidefs.h>

#include "demo.h"
#include "msi/action_data.h"
#include "probe.h"

namespace tidewell::demo {
namespace {

void run() {
    test::clearProbe();
    test::Package package(L"demo-framework");
    const std::wstring workList = std::wstring(L"C:\\Data") + kFieldSeparator + L"3";
    package.component(L"Main")
        .property(L"PROBE_ACTIONS", L"TW_ProbeDeferred")
        .property(L"PROBE_DATA", workList)
        .testAction(L"TW_Schedule", msidbCustomActionTypeDll, L"ScheduleProbe")
        .testAction(L"TW_ProbeDeferred", msidbCustomActionTypeDll | msidbCustomActionTypeInScript, L"RecordData")
        .sequence(L"TW_Schedule", 1700, L"NOT REMOVE");
    say(L"An immediate action schedules TW_ProbeDeferred with a two-field work list.");
    const auto result = package.install();
    showLibraryLog(L"Installation", result);
    for (const auto& data : test::probeDeferredData()) {
        std::wstring shown = data;
        for (auto& c : shown)
            if (c == kFieldSeparator) c = L'|';
        say(L"The deferred action received: " + shown + L"  (fields shown separated by |)");
    }
    package.uninstall();
}

const Register registration({10, "Framework: an immediate action hands its work list to a deferred action", run});

}  // namespace
}  // namespace tidewell::demo
