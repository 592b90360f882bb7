#pragma once
// Moving a file, folder tree or link in-process, without any length limit: within one
// volume a rename of exactly the named object (a link moves as a link), across volumes a
// copy, a check, then the deletion of the source.
#include <string>

#include "common/log_sink.h"

namespace tidewell {

// What happens when something stands at the destination already.
enum class ExistingTarget {
    Refuse,   // nothing is moved
    Replace,  // files and links there are replaced; a folder there receives the content
};

enum class MoveResult { Moved, TargetExists, Failed };

class HeldFolder;

// Moves the source to the destination path (its new full name). On failure the source
// stays whole where it was; each failure is logged (the log may be null). When the
// caller opened the destination's folder (into), a rename goes in relative to it, and
// folders that receive content are opened the same way.
MoveResult moveTree(const std::wstring& source, const std::wstring& destination, ExistingTarget existing,
                    const LogSink* log, const HeldFolder* into = nullptr);

}  // namespace tidewell
