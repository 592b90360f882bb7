#pragma once
// Keeps the installer's progress display moving through long work without a message per
// item: every message is a round trip to the installer, which for thousands of items
// costs more than the work itself.
#include <windows.h>
#include <msi.h>
#include <vector>

#include "msi/progress_message.h"

namespace tidewell {

class ProgressReporter {
public:
    using Clock = DWORD(WINAPI*)();  // milliseconds, as GetTickCount counts them
    static constexpr DWORD kInterval = 500;

    // One reporter per action.
    explicit ProgressReporter(MSIHANDLE installer, Clock clock = &::GetTickCount, DWORD interval = kInterval)
        : installer_(installer), clock_(clock), interval_(interval) {}

    // Counts one item. The first item, and after that the first item once the interval
    // has passed since the last report, goes out as an ACTIONDATA message with the given
    // fields followed by a PROGRESS tick of one per item counted since the last report.
    // 1602 when the user cancels, else 0.
    UINT item(const std::vector<ProgressField>& fields);

    unsigned long items() const { return items_; }

private:
    MSIHANDLE installer_;
    Clock clock_;
    DWORD interval_;
    unsigned long items_ = 0;
    unsigned long reported_ = 0;
    DWORD lastReport_ = 0;
};

}  // namespace tidewell
