#pragma once
// Turns the selected VU_MoveFile rows into single file operations at immediate time:
// searches each source folder once, decides every destination, and drops what would do
// nothing or overwrite. The deferred and rollback actions carry out exactly this list.
#include <string>
#include <vector>

#include "move_files/move_operation.h"
#include "move_files/move_rows.h"
#include "msi/action_log.h"
#include "win/item_identity.h"

namespace tidewell {

class MovePlanner {
public:
    explicit MovePlanner(const ActionLog& log) : log_(log) {}

    // Takes the selected rows, in order.
    void load(std::vector<MoveRow> rows) { entries_ = std::move(rows); }

    // Plans every entry, in order, and returns the work list (empty for no operation); an
    // operation that an earlier entry planned already is planned once.
    std::wstring writeWorkList();

    const std::vector<MoveOperation>& operations() const { return operations_; }

private:
    void expandEntry(const MoveRow& entry);

    const ActionLog& log_;
    std::vector<MoveRow> entries_;
    std::vector<MoveOperation> operations_;
    // Which row planned each operation first: two rows that plan the same one plan it once.
    ItemRows plannedRows_;
};

}  // namespace tidewell
