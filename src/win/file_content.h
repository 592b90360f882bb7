#pragma once
// A file's bytes copied between two open handles: the very file that was checked is the
// one read, and the copy is written through the handle that made it.
#include <windows.h>

namespace tidewell {

// Reads the source from its start and writes every byte to the destination (through the
// failure seam); false with the error as last error when either side fails or a write is
// short.
bool copyContent(HANDLE source, HANDLE destination);

}  // namespace tidewell
