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

// The property's value, or the empty text when it is unset or cannot be read.
std::wstring getProperty(MSIHANDLE installer, const std::wstring& name);

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

// Reads a record string field whole, whatever its length.
std::wstring recordString(MSIHANDLE record, UINT field);

}  // namespace tidewell
