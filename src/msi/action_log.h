#pragma once
// One short line per decision or failure into the installer's log (msiexec /l*v),
// prefixed with the action's name, so an installer author can see why a row was
// skipped or an item was left in place.
#include <windows.h>
#include <msi.h>
#include <string>

#include "common/log_sink.h"

namespace tidewell {

class ActionLog final : public LogSink {
public:
    ActionLog(MSIHANDLE installer, std::wstring action) : installer_(installer), action_(std::move(action)) {}
    // Also hands every line, unprefixed, to the copy: code that runs an action's work
    // below the exports (the tests) reads what it decided.
    ActionLog(MSIHANDLE installer, std::wstring action, const LogSink* copy)
        : installer_(installer), action_(std::move(action)), copy_(copy) {}

    // Writes "<action>: <text>" as an information message; never fails the caller.
    void line(const std::wstring& text) const noexcept override;
    using LogSink::line;

    MSIHANDLE installer() const { return installer_; }
    const std::wstring& action() const { return action_; }

private:
    MSIHANDLE installer_;
    std::wstring action_;
    const LogSink* copy_ = nullptr;
};

// The text as a record template that the installer prints literally: brackets and
// braces would otherwise be read as property references and conditional groups.
std::wstring literalTemplate(const std::wstring& text);

}  // namespace tidewell
