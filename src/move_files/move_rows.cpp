#include "move_files/move_rows.h"

#include "common/text.h"
#include "msi/statements.h"

namespace tidewell {

const std::vector<TableSpec>& moveTableSpecs() {
    static const std::vector<TableSpec> specs = {
        {L"MoveFile",
         {{L"FileKey"}, {L"Component_"}, {L"SourceName"}, {L"DestName"}, {L"SourceFolder", false, true},
          {L"DestFolder", false, true}, {L"Options"}},
         {},
         {},
         L"FileKey"},
        {L"VU_MoveFile", {{L"MoveFile"}, {L"Condition"}, {L"ExtendedOptions"}}, {}, {}, L"MoveFile"},
    };
    return specs;
}

int installModeOf(int extendedOptions) {
    switch (extendedOptions & 3) {
    case 2: return 2;
    case 3: return 3;
    default: return 1;
    }
}

RowSelector moveRowSelector(const ActionLog& log) {
    return [log](const std::wstring&, MSIHANDLE installer, TableRow& row) {
        const std::wstring key = row.value(L"FileKey");
        // The standard action must never see an extended row, selected or not.
        if (!deleteRow(installer, L"MoveFile", L"FileKey", key))
            log.line(L"row " + key + L": could not delete its MoveFile row from the running installation");
        const int mode = installModeOf(parseDecimal(row.value(L"ExtendedOptions")));
        const RowDecision decision =
            decideRow(installer, row.value(L"Component_"), row.value(L"Condition"), toDecimal(mode));
        log.line(L"row " + key + (decision.taken ? L" taken: " : L" skipped: ") + decision.reason);
        return decision.taken;
    };
}

}  // namespace tidewell
