#include "msi/row_decider.h"

#include "common/text.h"

namespace tidewell {

namespace {

bool isLocalOrSource(INSTALLSTATE state) { return state == INSTALLSTATE_LOCAL || state == INSTALLSTATE_SOURCE; }

std::wstring stateName(INSTALLSTATE state) {
    switch (state) {
    case INSTALLSTATE_ADVERTISED: return L"advertised";
    case INSTALLSTATE_ABSENT: return L"absent";
    case INSTALLSTATE_LOCAL: return L"local";
    case INSTALLSTATE_SOURCE: return L"source";
    case INSTALLSTATE_DEFAULT: return L"default";
    case INSTALLSTATE_UNKNOWN: return L"unknown";
    default: return toDecimal(state);
    }
}

}  // namespace

const RowDecider::ComponentState& RowDecider::stateOf(const std::wstring& component) {
    const auto found = states_.find(component);
    if (found != states_.end()) return found->second;
    ComponentState state;
    state.known = ::MsiGetComponentStateW(installer_, component.c_str(), &state.installed, &state.action) == ERROR_SUCCESS;
    return states_.emplace(component, state).first->second;
}

// The condition is asked of the installer only when the states hold, and not at all
// when it is empty (an empty condition holds).
RowDecision RowDecider::runTest(Test test, const std::wstring& component, const ComponentState& state,
                                const std::wstring& condition) const {
    if (!state.known) return {false, concat({L"component '", component, L"' is not known to the installer"})};
    const INSTALLSTATE installed = state.installed;
    const INSTALLSTATE action = state.action;
    const std::wstring states = concat({L"component '", component, L"' installed ", stateName(installed),
                                L", requested ", stateName(action)});
    const bool stateHolds =
        test == Test::install
            ? (isLocalOrSource(action) || (action == INSTALLSTATE_DEFAULT && isLocalOrSource(installed)))
            : ((action == INSTALLSTATE_ABSENT || action == INSTALLSTATE_ADVERTISED) && isLocalOrSource(installed));
    if (!stateHolds)
        return {false, states + (test == Test::install ? L": not being installed" : L": not being removed")};
    if (condition.empty()) return {true, concat({states, L", condition true"})};
    switch (::MsiEvaluateConditionW(installer_, condition.c_str())) {
    case MSICONDITION_TRUE: return {true, concat({states, L", condition true"})};
    case MSICONDITION_FALSE: return {false, concat({states, L", but condition '", condition, L"' is false"})};
    case MSICONDITION_NONE: return {false, concat({states, L", but condition is empty"})};
    default: return {false, concat({states, L", but condition '", condition, L"' is not valid"})};
    }
}

RowDecision RowDecider::decide(const std::wstring& component, const std::wstring& condition,
                               const std::wstring& installMode) {
    const int mode = installMode.empty() ? 1 : parseDecimal(installMode);
    switch (mode) {
    case 1: return runTest(Test::install, component, stateOf(component), condition);
    case 2: return runTest(Test::uninstall, component, stateOf(component), condition);
    case 3: {
        const ComponentState& state = stateOf(component);
        RowDecision install = runTest(Test::install, component, state, condition);
        if (install.taken) return install;
        RowDecision uninstall = runTest(Test::uninstall, component, state, condition);
        if (!uninstall.taken) uninstall.reason = concat({install.reason, L"; ", uninstall.reason});
        return uninstall;
    }
    default: return {true, concat({L"install mode ", toDecimal(mode), L" takes the row unconditionally"})};
    }
}

}  // namespace tidewell
