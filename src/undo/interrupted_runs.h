#pragma once
// Runs of any installation that were ended before their commit or undo (a custom-action
// host that was killed, power lost, a rollback that was itself cut short) leave their
// journals in the journal folder. The next run of the library takes them up: their items
// go back where nothing stands now, and what cannot go back stays in its store, logged.
#include <windows.h>
#include <optional>
#include <string>

#include "common/log_sink.h"
#include "win/command_script.h"

namespace tidewell {

// Takes up every journal, write-ahead record and leftover file of the journal folder,
// whatever installation wrote it, except the installation's own (its own run takes that
// up) and those last written at or after `begun` (the moment this installation's
// immediate action ran, in 100-nanosecond intervals since 1601, UTC): those belong to a run of this same installation that is still
// going on, such as the removal of an earlier version inside a major upgrade. Without
// `begun` only the installation's own records are the caller's to take up, and nothing
// here is touched. The folder is read only while it is the library's own. Network items
// go into the script, which the caller runs.
void takeUpInterruptedRuns(CommandScript& script, const LogSink& log, const std::wstring& installation,
                           std::optional<ULONGLONG> begun);

}  // namespace tidewell
