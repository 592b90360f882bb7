#pragma once
// Starting a program in the account of the user whose installer process runs: the owner
// of a running process whose image is one of a given list.
#include <string>
#include <vector>

#include "common/log_sink.h"

namespace tidewell {

// Rewrites a device path (\Device\HarddiskVolume1\x) into drive-letter form (c:\x);
// without a matching drive the device part is dropped. Other paths stay as they are.
std::wstring driveLetterPath(const std::wstring& path);

// Starts program + commandLine (hidden) once per running process whose image is in the
// list (compared case-insensitively), under that process owner's token, and waits for
// each. Owners named SYSTEM are skipped. Returns how many times the program ran.
int runAsImageOwners(const std::wstring& program, const std::wstring& commandLine,
                     const std::vector<std::wstring>& images, const LogSink* log);

// Starts program + commandLine hidden in the caller's account and waits; true when it ran.
bool runAndWait(const std::wstring& program, const std::wstring& commandLine);

}  // namespace tidewell
