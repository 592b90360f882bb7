#include "win/fault_seam.h"

namespace tidewell {

namespace {

// One process, one installation action at a time: the library runs no threads of its own.
struct SeamState {
    SeamPlan plan;
    long long counted = 0;
    long long failures = 0;
    DWORD error = ERROR_SUCCESS;
    SeamCall lastFailed = SeamCall::Open;
    bool diskFull = false;  // the last failure was one of a diskFullAfter plan's later ones
};
SeamState seam;

bool counts(SeamCall call) { return !seam.plan.onlyOneKind || seam.plan.kind == call; }

bool fillsTheDisk(SeamCall call) {
    return call == SeamCall::Create || call == SeamCall::Write || call == SeamCall::Rename;
}

bool armedHere() {
    if (seam.plan.position <= 0) return false;
    return seam.counted == seam.plan.position ||
           (seam.plan.repeat == SeamRepeat::FromThenOn && seam.counted > seam.plan.position);
}

// Once a diskFullAfter plan's fault is made, every call that needs room fails, of whatever
// kind the plan counts.
bool diskIsFull(SeamCall call) { return seam.plan.diskFullAfter && seam.failures > 0 && fillsTheDisk(call); }

}  // namespace

DWORD seamFaultError(SeamFault fault) {
    switch (fault) {
    case SeamFault::AccessDenied: return ERROR_ACCESS_DENIED;
    case SeamFault::SharingViolation: return ERROR_SHARING_VIOLATION;
    case SeamFault::PathNotFound: return ERROR_PATH_NOT_FOUND;
    case SeamFault::DiskFull:
    case SeamFault::ShortWrite: break;
    }
    return ERROR_DISK_FULL;
}

bool seamFails(SeamCall call) {
    const bool counted = counts(call);
    if (counted) ++seam.counted;
    // A short write is a fault of writes only; elsewhere the position passes.
    if (!diskIsFull(call) &&
        (!counted || !armedHere() || (seam.plan.fault == SeamFault::ShortWrite && call != SeamCall::Write)))
        return false;
    const bool diskNowFull = seam.failures > 0 && seam.plan.diskFullAfter;
    seam.diskFull = diskNowFull;
    ++seam.failures;
    seam.lastFailed = call;
    seam.error = diskNowFull ? ERROR_DISK_FULL : seamFaultError(seam.plan.fault);
    if (seam.plan.then && !diskNowFull && seam.plan.fault != SeamFault::ShortWrite) seam.plan.then();
    ::SetLastError(seam.error);
    return true;
}

DWORD seamError() { return seam.error; }

BOOL seamWriteFile(HANDLE file, const void* bytes, DWORD size, DWORD* written) {
    *written = 0;
    if (seamFails(SeamCall::Write)) {
        if (seam.plan.fault != SeamFault::ShortWrite || seam.diskFull) return FALSE;
        // Half of the bytes reach the disk, and the call says so without failing.
        const BOOL wrote = ::WriteFile(file, bytes, size / 2, written, nullptr);
        if (seam.plan.then) seam.plan.then();
        ::SetLastError(ERROR_SUCCESS);
        return wrote;
    }
    return ::WriteFile(file, bytes, size, written, nullptr);
}

void armFaultSeam(const SeamPlan& plan) {
    seam = SeamState{};
    seam.plan = plan;
}

void disarmFaultSeam() { seam = SeamState{}; }

long long seamCallsCounted() { return seam.counted; }

long long seamFailuresMade() { return seam.failures; }

SeamCall seamLastFailedCall() { return seam.lastFailed; }

}  // namespace tidewell
