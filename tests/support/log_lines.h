#pragma once
// A log that keeps its lines, for tests of the layers below the installer session.
#include <string>
#include <vector>

#include "common/log_sink.h"

namespace tidewell::test {

struct Lines final : LogSink {
    using LogSink::line;
    mutable std::vector<std::wstring> lines;
    void line(const std::wstring& text) const noexcept override { lines.push_back(text); }
    // True when a line holds the text.
    bool has(const std::wstring& part) const {
        for (const auto& l : lines)
            if (l.find(part) != std::wstring::npos) return true;
        return false;
    }
};

}  // namespace tidewell::test
