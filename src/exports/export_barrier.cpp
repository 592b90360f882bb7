#include "exports/export_barrier.h"

#include <exception>
#include <string>

#include "common/text.h"

namespace tidewell {

UINT runGuarded(MSIHANDLE installer, const wchar_t* exportName, UINT resultOnException, const void* context,
                GuardedBody call) noexcept {
    try {
        const ActionLog log(installer, exportName);
        return call(context, log);
    } catch (...) {
        // The exception may be a lack of memory: the line is written only if it can be,
        // and the result goes out whatever happens to it.
        try {
            std::wstring reason;
            try {
                throw;
            } catch (const std::exception& e) {
                reason = concat({L": ", fromUtf8(e.what())});
            } catch (...) {
            }
            ActionLog(installer, exportName).line({L"stopped by an internal error", reason});
        } catch (...) {
        }
    }
    return resultOnException;
}

}  // namespace tidewell
