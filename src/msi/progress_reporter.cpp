#include "msi/progress_reporter.h"

#include "msi/session.h"

namespace tidewell {
namespace {

constexpr int kIncrementProgress = 2;  // PROGRESS field 1: move the bar on by field 2 ticks

UINT sendTicks(MSIHANDLE installer, unsigned long ticks) {
    MsiHandleHolder record(::MsiCreateRecord(2));
    if (!record) return ERROR_SUCCESS;
    ::MsiRecordSetInteger(record.get(), 1, kIncrementProgress);
    ::MsiRecordSetInteger(record.get(), 2, static_cast<int>(ticks));
    const int answer = ::MsiProcessMessage(installer, INSTALLMESSAGE_PROGRESS, record.get());
    return answer == IDCANCEL || answer == IDABORT ? ERROR_INSTALL_USEREXIT : ERROR_SUCCESS;
}

}  // namespace

UINT ProgressReporter::item(const std::vector<ProgressField>& fields) {
    ++items_;
    const DWORD now = clock_();
    // Unsigned difference: right across the tick counter's wrap as well.
    if (items_ > 1 && now - lastReport_ < interval_) return ERROR_SUCCESS;
    lastReport_ = now;
    const unsigned long ticks = items_ - reported_;
    reported_ = items_;
    const UINT sent = sendActionData(installer_, fields);
    if (sent != ERROR_SUCCESS) return sent;
    return sendTicks(installer_, ticks);
}

}  // namespace tidewell
