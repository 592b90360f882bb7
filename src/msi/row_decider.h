#pragma once
// The row decision shared by the features, with the reason in words for the log.
// Install mode 1 (empty), 2 or 3 against the component's states, then the condition
// (empty counts as "1"); any other mode takes the row unconditionally.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <map>
#include <string>

namespace tidewell {

struct RowDecision {
    bool taken = false;
    std::wstring reason;
};

// Decides the rows of one action. Each question is a call to the installer's process,
// so a component's states are asked for once, at its first row: the rows of an action
// mostly share a few components, and their states do not change while it reads them.
class RowDecider {
public:
    explicit RowDecider(MSIHANDLE installer) : installer_(installer) {}

    RowDecision decide(const std::wstring& component, const std::wstring& condition, const std::wstring& installMode);

private:
    struct ComponentState {
        bool known = false;
        INSTALLSTATE installed = INSTALLSTATE_UNKNOWN;
        INSTALLSTATE action = INSTALLSTATE_UNKNOWN;
    };
    enum class Test { install, uninstall };

    const ComponentState& stateOf(const std::wstring& component);
    RowDecision runTest(Test test, const std::wstring& component, const ComponentState& state,
                        const std::wstring& condition) const;

    MSIHANDLE installer_;
    std::map<std::wstring, ComponentState> states_;
};

}  // namespace tidewell
