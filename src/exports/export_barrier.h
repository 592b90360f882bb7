#pragma once
// The barrier that keeps every exception inside an export.
#include <windows.h>
#include <msi.h>
#include <exception>
#include <type_traits>

#include "common/text.h"
#include "msi/action_log.h"
#include "msi/schedule.h"

namespace tidewell {

// Runs an export's body with the action log named after the export. A body that returns
// nothing gives 0; an exception that reaches here is logged and turned into the export's
// documented result instead of crossing into the installer.
template <typename Body>
UINT guardedExport(MSIHANDLE installer, const wchar_t* exportName, UINT resultOnException, Body&& body) noexcept {
    try {
        const ActionLog log(installer, exportName);
        if constexpr (std::is_void_v<std::invoke_result_t<Body, const ActionLog&>>) {
            body(log);
            return ERROR_SUCCESS;
        } else {
            return body(log);
        }
    } catch (...) {
        // The exception may be a lack of memory: the line is written only if it can be,
        // and the result goes out whatever happens to it.
        try {
            std::wstring reason;
            try {
                throw;
            } catch (const std::exception& e) {
                reason = L": " + fromUtf8(e.what());
            } catch (...) {
            }
            ActionLog(installer, exportName).line(L"stopped by an internal error" + reason);
        } catch (...) {
        }
    }
    return resultOnException;
}

}  // namespace tidewell
