#pragma once
// Starting programs and waiting for them: in this process's own account, or in the
// account of the user who installs, found as the owner of one of their running installer
// processes. A finished program leaves its exit status and what it wrote.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "common/unique_any.h"

namespace tidewell {

// Rewrites a device path (\Device\HarddiskVolume1\x) into drive-letter form (c:\x);
// without a matching drive the device part is dropped. Other paths stay as they are.
std::wstring driveLetterPath(const std::wstring& path);

namespace traits {
// A user's environment block (CreateEnvironmentBlock), given back with
// DestroyEnvironmentBlock.
struct environment_block {
    using type = void*;
    static type invalid() noexcept { return nullptr; }
    static void close(type block) noexcept;
};
// The thread's impersonation of a user, ended with RevertToSelf.
struct impersonation {
    using type = bool;
    static type invalid() noexcept { return false; }
    static void close(type) noexcept;
};
}  // namespace traits
using unique_environment = unique_any<traits::environment_block>;
// Holds true while the calling thread acts as a token's user.
using unique_impersonation = unique_any<traits::impersonation>;

// Starts acting as the token's user; the result holds false when Windows refused.
unique_impersonation impersonate(HANDLE token);

// A running process as the search for the installing user sees it.
struct ProcessOwner {
    std::wstring image;               // drive-letter form
    std::vector<unsigned char> sid;   // the owner's SID; empty when it could not be read
    DWORD session = 0;
};

// The candidate whose owner a user's program runs as: the first whose image is in the
// list (case-insensitive), whose owner is the user (EqualSid) and which runs in the
// given session. None when no candidate fits.
std::optional<size_t> pickInstallingUserProcess(PSID user, DWORD session, const std::vector<std::wstring>& images,
                                                const std::vector<ProcessOwner>& candidates);

// The installing user's account: the token of their installer process, their own
// environment (CreateEnvironmentBlock) and their temporary folder. Not usable when no
// such process runs in this process's session, or its token or environment cannot be
// had; the log says why.
class UserAccount {
public:
    // userSid: the installation's UserSID ("S-1-5-21-..."); images: full paths of the
    // installer's executables.
    UserAccount(const std::wstring& userSid, const std::vector<std::wstring>& images, const LogSink* log);
    UserAccount(const UserAccount&) = delete;
    UserAccount& operator=(const UserAccount&) = delete;

    bool usable() const { return token_.is_valid() && environment_.is_valid() && !tempFolder_.empty(); }
    HANDLE token() const { return token_.get(); }
    void* environment() const { return environment_.get(); }
    const std::wstring& tempFolder() const { return tempFolder_; }
    const std::wstring& name() const { return name_; }

private:
    unique_handle token_;
    unique_environment environment_;
    std::wstring tempFolder_;
    std::wstring name_;
};

// Acting as an account for one scope: the user's (impersonating their token), or, with
// no token, this process's own, for which nothing changes.
class ActingAs {
public:
    explicit ActingAs(HANDLE token);
    // False when Windows refused to act as the token's user (the last error says why).
    bool holds() const { return token_ == nullptr || impersonation_.is_valid(); }

private:
    HANDLE token_;
    unique_impersonation impersonation_;
};

// The output a run keeps: what a program writes beyond it is read and counted, so that a
// flood of output costs no more memory than this.
inline constexpr size_t kKeptOutput = 64 * 1024;
// How long the reading goes on once the program has ended and its job with it: only a
// process outside the job can still hold the output open then, and it is not waited for.
inline constexpr DWORD kOutputGraceMs = 2000;

// Whether the output closed once the program's processes had ended, or a process outside
// them held it open past kOutputGraceMs and the reading stopped there.
enum class OutputEnd { Closed, LeftOpen };

// What a finished program left behind.
struct ProgramRun {
    bool started = false;
    DWORD error = 0;       // why it did not start
    DWORD exitCode = 0;
    std::string output;    // the first kKeptOutput bytes of standard output and error
    unsigned long long discarded = 0;  // bytes written beyond them
    OutputEnd outputEnd = OutputEnd::Closed;
    // Why its processes ran outside a job object (so that what it started could outlive
    // it); 0 when they ran in one.
    DWORD jobError = ERROR_SUCCESS;
};

// Starts program + commandLine hidden, in the system folder, with standard input from NUL
// and its output collected, inside a job object that ends every process of it when the
// program ends (or this call is left in any way), and waits for the program to end. With
// an account, the program runs as that user, with the user's environment; otherwise in
// this process's own account. Never waits for output beyond the program's end plus
// kOutputGraceMs.
ProgramRun runProgram(const std::wstring& program, const std::wstring& commandLine,
                      const UserAccount* account = nullptr);

}  // namespace tidewell
