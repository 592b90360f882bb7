#include "msi/action_log.h"

#include "common/text.h"
#include "msi/session.h"

namespace tidewell {

std::wstring literalTemplate(const std::wstring& text) {
    std::wstring result;
    result.reserve(text.size() + 8);
    for (wchar_t c : text) {
        if (c == L'[' || c == L']' || c == L'{' || c == L'}') {
            result += L"[\\";
            result += c;
            result += L']';
        } else {
            result += c;
        }
    }
    return result;
}

void ActionLog::line(const std::wstring& text) const noexcept {
    try {
        if (copy_) copy_->line(text);
        if (installer_ == 0) return;
        MsiHandleHolder record(::MsiCreateRecord(0));
        if (!record) return;
        const std::wstring message = concat({action_, L": ", text});
        ::MsiRecordSetStringW(record.get(), 0, literalTemplate(message).c_str());
        ::MsiProcessMessage(installer_, INSTALLMESSAGE_INFO, record.get());
    } catch (...) {
        // Logging never stops an action.
    }
}

}  // namespace tidewell
