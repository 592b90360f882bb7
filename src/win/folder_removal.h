#pragma once
// Folder removal shared by the removal walker and the undo stores: with a sink the
// folder is handed over, without one it is deleted for good.
#include <string>

#include "common/log_sink.h"
#include "win/removal_sink.h"

namespace tidewell {

// True when the folder exists and holds nothing but "." and ".."; a link to a folder is
// never looked into and counts as not empty.
bool isFolderEmpty(const std::wstring& folder);

// Removes (or hands over) the folder when it is empty; false with ERROR_DIR_NOT_EMPTY
// as the last error when it is not.
bool removeFolderIfEmpty(const std::wstring& folder, RemovalSink* sink);

// Removes (or hands over) the folder with everything in it, read-only files included;
// nothing goes to the recycle bin. Links inside go themselves, never what they point to.
bool removeFolderTree(const std::wstring& folder, RemovalSink* sink, const LogSink* log = nullptr);

// A drive root (C: or C:\) or the root of a share (\\server\share): never removed.
bool isRootFolder(const std::wstring& path);

}  // namespace tidewell
