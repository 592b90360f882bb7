#include "condition_syntax.h"

#include <msiquery.h>

#include "common/text.h"

namespace tidewell::tools {

ConditionSyntax::ConditionSyntax(MSIHANDLE database) {
    // No user interface: opening a session must not show anything.
    const INSTALLUILEVEL previous = ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    const std::wstring byHandle = L"#" + toDecimal(static_cast<long long>(database));
    if (::MsiOpenPackageExW(byHandle.c_str(), MSIOPENPACKAGEFLAGS_IGNOREMACHINESTATE, session_.put()) != ERROR_SUCCESS)
        session_.reset();
    ::MsiSetInternalUI(previous, nullptr);
}

bool ConditionSyntax::isSyntaxError(const std::wstring& condition) const {
    if (!session_ || condition.empty()) return false;
    return ::MsiEvaluateConditionW(session_.get(), condition.c_str()) == MSICONDITION_ERROR;
}

}  // namespace tidewell::tools
