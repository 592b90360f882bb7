#include "package_checks.h"

#include "check_context.h"

namespace tidewell::tools {

bool CheckReport::hasError() const {
    for (const auto& finding : findings)
        if (finding.severity == Severity::Error) return true;
    return false;
}

CheckReport checkPackage(const MsiDatabase& package, const std::optional<std::wstring>& dllPath) {
    CheckContext context(package, dllPath);
    checkTables(context);
    checkRows(context);
    checkActions(context);
    checkSequence(context);
    checkCleanupQuestion(context);
    return std::move(context.result());
}

}  // namespace tidewell::tools
