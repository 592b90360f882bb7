#pragma once
// Copying a file or a folder tree in-process, without any length limit: attributes and
// times are kept; links are not followed and not copied (each skip is logged).
#include <windows.h>
#include <cstddef>
#include <string>

#include "common/log_sink.h"

namespace tidewell {

struct CopyOutcome {
    bool complete = false;    // every entry that is not a link was copied
    size_t linksSkipped = 0;  // links left out
    DWORD error = ERROR_SUCCESS;  // the Win32 error of the first entry that was not copied
};

// Copies the source to the destination path (a new name: for a folder, the folder itself
// with its content). An existing destination file is replaced; an existing folder is
// copied into.
CopyOutcome copyTree(const std::wstring& source, const std::wstring& destination, const LogSink* log);

// True when every entry of the source, links aside, stands at the destination as the same
// kind, each file with the same size: the check before a moved source is deleted.
bool sameTree(const std::wstring& source, const std::wstring& destination);

}  // namespace tidewell
