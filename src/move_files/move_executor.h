#pragma once
// Carries out the planned copies and moves in the install script, and undoes them when
// the installation rolls back. Both work from the same work list; neither searches the
// disk again nor re-checks what the planner decided.
#include <windows.h>
#include <msi.h>
#include <string>
#include <vector>

#include "win/held_folder.h"
#include "win/tree_move.h"

#include "move_files/move_record.h"
#include "msi/session.h"

#include "move_files/move_operation.h"
#include "msi/action_data.h"
#include "msi/action_log.h"
#include "msi/progress_reporter.h"

namespace tidewell {

class MoveExecutor {
public:
    explicit MoveExecutor(const ActionLog& log)
        : log_(log), progress_(log.installer()), record_(getProperty(log.installer(), L"ProductCode"), &log) {}

    // Takes the operations of the work list (nothing unless it has exactly one group).
    void load(const ActionData& data);

    // For each operation: creates the destination's folders, copies (never over an
    // existing file) or moves (replacing), and reports progress. Failures are logged and
    // the next operation follows.
    void run();

    // For each operation, in list order: deletes the copy while it is still the copy that
    // run made, or moves the file back to its source; then removes the destination
    // folders that became empty, down to but not including the kept ancestor.
    void undo();

    const std::vector<MoveOperation>& operations() const { return operations_; }

private:
    void runOne(const MoveOperation& operation);
    void undoOne(const MoveOperation& operation);
    // Moves a file to its new full name, into its folder opened safely (made when missing).
    bool moveInto(const std::wstring& from, const std::wstring& to, ExistingTarget existing) const;
    // Copies a file (never over one that stands there) from the handle its check opened
    // into its folder opened safely; logs what went wrong.
    bool copyInto(const std::wstring& from, const std::wstring& to, const std::wstring& what) const;
    // Whether the source lies on the volume of the destination's folder.
    bool sameVolume(const std::wstring& source, const HeldFolder& folder) const;
    // A move to another volume: copy, its identity written ahead, then the source deleted.
    bool moveAcrossVolumes(const std::wstring& source, const std::wstring& target, ExistingTarget existing,
                           const HeldFolder& folder) const;
    void undoCopy(const MoveOperation& operation) const;
    void undoMove(const MoveOperation& operation) const;

    const ActionLog& log_;
    ProgressReporter progress_;
    mutable MoveRecord record_;
    std::vector<MoveOperation> operations_;
};

}  // namespace tidewell
