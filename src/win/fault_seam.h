#pragma once
// Every file-system and registry call of the Windows layer and the undo engine passes
// here before it is made, so that a test can make any one of them fail as a real machine
// does: a full disk, a denied access, a sharing violation, a path that vanished, a write
// that puts down only part of its bytes. Nothing in the library arms it; only a test
// program (or a test build of the DLL) that calls armFaultSeam can.
#include <windows.h>

namespace tidewell {

// The kind of call that asks, so that a test can aim at one kind.
enum class SeamCall { Open, Create, Write, Read, Rename, Delete, Copy, List, Attributes, Registry };

// True when this call is to fail: the caller makes no call and fails as the call would,
// with the error set as the last error (and returned by seamError).
bool seamFails(SeamCall call);
DWORD seamError();
// WriteFile through the seam: it may fail, or put down fewer bytes than asked and succeed.
BOOL seamWriteFile(HANDLE file, const void* bytes, DWORD size, DWORD* written);
// A registry call through the seam: the armed error instead of the call's result.
template <typename Call>
LONG seamRegistry(Call&& call) {
    return seamFails(SeamCall::Registry) ? static_cast<LONG>(seamError()) : call();
}

// For tests.
enum class SeamFault { DiskFull, AccessDenied, SharingViolation, PathNotFound, ShortWrite };
enum class SeamRepeat { Once, FromThenOn };
struct SeamPlan {
    long long position = 0;  // the counted call that fails first (1 = the first); 0: none
    SeamFault fault = SeamFault::DiskFull;
    SeamRepeat repeat = SeamRepeat::Once;
    bool onlyOneKind = false;  // count only calls of this kind
    SeamCall kind = SeamCall::Write;
    // Once the fault is made, every later create, write and rename fails too, as on a
    // disk that has just filled up (deletes still go through).
    bool diskFullAfter = false;
    // Called once the fault is made (after the half of a short write is written): a test
    // ends its process there, as a crash or a power cut would.
    void (*then)() = nullptr;
};
// Arms the plan and starts counting from zero.
void armFaultSeam(const SeamPlan& plan);
void disarmFaultSeam();
// The calls counted since the seam was last armed or disarmed.
long long seamCallsCounted();
// How many calls the armed plan made fail.
long long seamFailuresMade();
// The kind of the call that failed last.
SeamCall seamLastFailedCall();
// The Win32 error of a fault (ShortWrite: ERROR_DISK_FULL, what a second write would get).
DWORD seamFaultError(SeamFault fault);

}  // namespace tidewell
