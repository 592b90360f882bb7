#pragma once
// The barrier that keeps every exception inside an export.
#include <windows.h>
#include <msi.h>
#include <exception>

#include "common/text.h"
#include "msi/action_log.h"
#include "msi/schedule.h"

namespace tidewell {

// Runs an export's body; an exception that reaches here is logged and turned into the
// export's documented result instead of crossing into the installer.
template <typename Body>
UINT guardedExport(MSIHANDLE installer, const wchar_t* exportName, UINT resultOnException, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        ActionLog(installer, exportName).line(L"stopped by an internal error: " + fromUtf8(e.what()));
    } catch (...) {
        ActionLog(installer, exportName).line(L"stopped by an internal error");
    }
    return resultOnException;
}

}  // namespace tidewell
