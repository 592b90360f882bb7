#include "msi/progress_message.h"

#include "msi/session.h"

namespace tidewell {

UINT sendActionData(MSIHANDLE installer, const std::vector<ProgressField>& fields) {
    MsiHandleHolder record(::MsiCreateRecord(static_cast<UINT>(fields.size())));
    if (!record) return ERROR_INSTALL_FAILURE;
    UINT number = 1;
    for (const auto& field : fields) {
        const UINT set = std::holds_alternative<int>(field)
                             ? ::MsiRecordSetInteger(record.get(), number, std::get<int>(field))
                             : ::MsiRecordSetStringW(record.get(), number, std::get<std::wstring>(field).c_str());
        if (set != ERROR_SUCCESS) return ERROR_INSTALL_FAILURE;
        ++number;
    }
    const int answer = ::MsiProcessMessage(installer, INSTALLMESSAGE_ACTIONDATA, record.get());
    return answer == IDCANCEL || answer == IDABORT ? ERROR_INSTALL_USEREXIT : ERROR_SUCCESS;
}

}  // namespace tidewell
