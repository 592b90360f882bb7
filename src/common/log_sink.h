#pragma once
// Where the lower layers say what they decided or what failed. The installer session's
// ActionLog is the one writer in the library; the Windows layer and the undo engine only
// see this interface, so they stay free of the installer.
#include <initializer_list>
#include <string>
#include <string_view>

namespace tidewell {

class LogSink {
public:
    virtual ~LogSink() = default;
    // Writes one line; never fails the caller.
    virtual void line(const std::wstring& text) const noexcept = 0;
    // Writes the pieces joined into one line: one string built, rather than one per "+".
    void line(std::initializer_list<std::wstring_view> pieces) const;
};

}  // namespace tidewell
