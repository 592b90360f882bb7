#include "msi/session.h"

namespace tidewell {

std::wstring getProperty(MSIHANDLE installer, const std::wstring& name) {
    wchar_t probe[1] = {L'\0'};
    DWORD length = 0;
    UINT result = ::MsiGetPropertyW(installer, name.c_str(), probe, &length);
    if (result != ERROR_MORE_DATA) return {};
    std::wstring value(length + 1, L'\0');
    length += 1;
    result = ::MsiGetPropertyW(installer, name.c_str(), value.data(), &length);
    if (result != ERROR_SUCCESS) return {};
    value.resize(length);
    return value;
}

UINT setProperty(MSIHANDLE installer, const std::wstring& name, const std::wstring& value) {
    return ::MsiSetPropertyW(installer, name.c_str(), value.c_str());
}

std::wstring formatText(MSIHANDLE installer, const std::wstring& text) {
    if (text.empty()) return {};
    MsiHandleHolder record(::MsiCreateRecord(1));
    if (!record) return {};
    if (::MsiRecordSetStringW(record.get(), 0, text.c_str()) != ERROR_SUCCESS) return {};
    wchar_t probe[1] = {L'\0'};
    DWORD length = 0;
    UINT result = ::MsiFormatRecordW(installer, record.get(), probe, &length);
    if (result == ERROR_SUCCESS) return {};
    if (result != ERROR_MORE_DATA) return {};
    std::wstring formatted(length + 1, L'\0');
    length += 1;
    if (::MsiFormatRecordW(installer, record.get(), formatted.data(), &length) != ERROR_SUCCESS) return {};
    formatted.resize(length);
    return formatted;
}

int sendMessage(MSIHANDLE installer, int number, INSTALLMESSAGE type, const std::vector<std::wstring>& texts) {
    if (installer == 0) return 0;
    MsiHandleHolder record(::MsiCreateRecord(static_cast<UINT>(texts.size() + 1)));
    if (!record) return -1;
    ::MsiRecordSetInteger(record.get(), 1, number);
    UINT field = 2;
    for (const auto& text : texts) ::MsiRecordSetStringW(record.get(), field++, text.c_str());
    return ::MsiProcessMessage(installer, type, record.get());
}

bool isRollbackEnabled(MSIHANDLE installer) {
    return ::MsiEvaluateConditionA(installer, "DISABLEROLLBACK <> 1") == MSICONDITION_TRUE;
}

std::wstring recordString(MSIHANDLE record, UINT field) {
    wchar_t probe[1] = {L'\0'};
    DWORD length = 0;
    UINT result = ::MsiRecordGetStringW(record, field, probe, &length);
    if (result == ERROR_SUCCESS) return {};
    if (result != ERROR_MORE_DATA) return {};
    std::wstring text(length + 1, L'\0');
    length += 1;
    if (::MsiRecordGetStringW(record, field, text.data(), &length) != ERROR_SUCCESS) return {};
    text.resize(length);
    return text;
}

}  // namespace tidewell
