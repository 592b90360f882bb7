#include "msi/schedule.h"

#include "common/text.h"
#include "msi/session.h"

namespace tidewell {

bool scheduleAction(const ActionLog& log, const std::wstring& action, const std::optional<std::wstring>& workList) {
    const MSIHANDLE installer = log.installer();
    if (workList) {
        const UINT result = setProperty(installer, action, *workList);
        if (result != ERROR_SUCCESS) {
            log.line({L"could not set property ", action, L" (error ", toDecimal(result), L")"});
            return false;
        }
    }
    const UINT result = ::MsiDoActionW(installer, action.c_str());
    if (result != ERROR_SUCCESS) {
        log.line({L"could not schedule ", action, L" (error ", toDecimal(result),
                 (result == ERROR_FUNCTION_NOT_CALLED ? L": the package defines no such action)" : L")")});
        return false;
    }
    if (workList) {
        const UINT cleared = setProperty(installer, action, L"");
        if (cleared != ERROR_SUCCESS) {
            log.line({L"could not clear property ", action, L" (error ", toDecimal(cleared), L")"});
            return false;
        }
    }
    log.line({L"scheduled ", action,
             (workList ? concat({L" with a work list of ", toDecimal(static_cast<long long>(workList->size())), L" characters"})
                       : std::wstring(L" (no data)"))});
    return true;
}

}  // namespace tidewell
