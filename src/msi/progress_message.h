#pragma once
// The ACTIONDATA message that the deferred actions send per item, which the installer
// shows under the action's description and writes into its log.
#include <windows.h>
#include <msi.h>
#include <string>
#include <variant>
#include <vector>

namespace tidewell {

// One field of the message: a text, or a number.
using ProgressField = std::variant<std::wstring, int>;

// Sends one ACTIONDATA message with the fields as its fields 1, 2, ... Returns 0 when it
// was sent, 1602 when the user cancels, 1603 when the record cannot be made or filled
// (nothing is sent then).
UINT sendActionData(MSIHANDLE installer, const std::vector<ProgressField>& fields);

}  // namespace tidewell
