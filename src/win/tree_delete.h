#pragma once
// Deleting a file or a folder tree for good, in-process and without any length limit.
// Links are removed themselves and never followed; a link that this system only opens
// through what it points to stays where it is, with a log line.
#include <string>

#include "common/log_sink.h"

namespace tidewell {

// Read-only entries go too. True when nothing is left at the path (also when nothing was
// there); each entry that stays is logged (the log may be null).
bool deleteTree(const std::wstring& path, const LogSink* log);

}  // namespace tidewell
