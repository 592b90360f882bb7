#include "msi/session.h"

#include <iterator>

namespace tidewell {

namespace {

// Reads a text of unknown length through a call that takes a buffer and its size, as the
// installer's getters do. Each call is a message to the installer process, so the text is
// read in one call when it fits a buffer on the stack, which most do, and in a second
// call of its own size only when the first answers ERROR_MORE_DATA.
template <typename Read>
std::wstring readText(const Read& read) {
    wchar_t buffer[256];
    DWORD length = static_cast<DWORD>(std::size(buffer));
    const UINT result = read(buffer, &length);
    if (result == ERROR_SUCCESS) return std::wstring(buffer, length);
    if (result != ERROR_MORE_DATA) return {};
    std::wstring text(length + 1, L'\0');
    length += 1;
    if (read(text.data(), &length) != ERROR_SUCCESS) return {};
    text.resize(length);
    return text;
}

}  // namespace

std::wstring getProperty(MSIHANDLE installer, const std::wstring& name) {
    return readText([&](wchar_t* buffer, DWORD* length) {
        return ::MsiGetPropertyW(installer, name.c_str(), buffer, length);
    });
}

UINT setProperty(MSIHANDLE installer, const std::wstring& name, const std::wstring& value) {
    return ::MsiSetPropertyW(installer, name.c_str(), value.c_str());
}

std::wstring formatText(MSIHANDLE installer, const std::wstring& text) {
    if (text.empty()) return {};
    MsiHandleHolder record(::MsiCreateRecord(1));
    if (!record) return {};
    if (::MsiRecordSetStringW(record.get(), 0, text.c_str()) != ERROR_SUCCESS) return {};
    return readText([&](wchar_t* buffer, DWORD* length) {
        return ::MsiFormatRecordW(installer, record.get(), buffer, length);
    });
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
    return readText([&](wchar_t* buffer, DWORD* length) {
        return ::MsiRecordGetStringW(record, field, buffer, length);
    });
}

}  // namespace tidewell
