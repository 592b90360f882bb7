#pragma once
// The small layer over the installer handle that every export uses: handle ownership,
// property reads of any length, formatted text, messages and the rollback choice.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <string>
#include <vector>

#include "common/unique_any.h"

namespace tidewell {

// Owns one installer handle (record, view, database) and closes it on every way out.
using MsiHandleHolder = unique_msihandle;

// An owned array of wide characters, filled by getPropertyInto.
class WideBuffer {
public:
    void clear() { chars_.clear(); chars_.shrink_to_fit(); }
    wchar_t* allocate(size_t count) { chars_.assign(count, L'\0'); return chars_.data(); }
    const wchar_t* data() const { return chars_.empty() ? nullptr : chars_.data(); }
    size_t capacity() const { return chars_.size(); }
    // The text up to its terminating null; empty when nothing was read.
    std::wstring text() const { return chars_.empty() ? std::wstring() : std::wstring(chars_.data()); }

private:
    std::vector<wchar_t> chars_;
};

// The property's value, or the empty text when it is unset or cannot be read.
std::wstring getProperty(MSIHANDLE installer, const std::wstring& name);

// Reads the property into the buffer; false (buffer empty) when it could not be read.
bool getPropertyInto(MSIHANDLE installer, const std::wstring& name, WideBuffer& buffer);

// Returns 0 on success, as MsiSetPropertyW does.
UINT setProperty(MSIHANDLE installer, const std::wstring& name, const std::wstring& value);

// The text with installer formatting applied ([Property], [#File], ...); empty on failure.
std::wstring formatText(MSIHANDLE installer, const std::wstring& text);

// Sends message `number` of the package's Error table with the texts as its fields 2, 3, ...
// Returns the installer's answer, or 0 when the handle is 0.
int sendMessage(MSIHANDLE installer, int number, INSTALLMESSAGE type,
                const std::vector<std::wstring>& texts = {});

// True when "DISABLEROLLBACK <> 1" holds: removals are then undoable.
bool isRollbackEnabled(MSIHANDLE installer);

// Reads a record string field whole (length first).
std::wstring recordString(MSIHANDLE record, UINT field);

}  // namespace tidewell
