#include "finding.h"

#include "check_codes.h"

namespace tidewell::tools {

std::wstring formatFinding(const Finding& finding) {
    std::wstring where = finding.table;
    if (!finding.row.empty()) where += L" " + finding.row;
    return std::wstring(finding.severity == Severity::Error ? L"error" : L"warning") + L" " + finding.code + L" [" +
           where + L"] " + finding.detail + L". " + checkCode(finding.code).remedy + L".";
}

}  // namespace tidewell::tools
