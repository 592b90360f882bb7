#include "msi/standard_rows.h"

#include "common/text.h"

namespace tidewell {

// The deletion is not committed. The session's active database is open read-only: its
// tables change in memory, which is what the installer's own actions read for the rest
// of this installation, and a commit could only write them back into a package that
// must stay as it was (custom actions are not to commit the running database at all).
void takeOverStandardRow(const ActionLog& log, RowDeleter& standardRows, const std::wstring& key) {
    const UINT result = standardRows.remove(key);
    if (result != ERROR_SUCCESS)
        log.line({L"row ", key, L": could not delete it from ", standardRows.table(), L" (error ", toDecimal(result),
                 L"); Windows Installer may still act on it"});
}

}  // namespace tidewell
