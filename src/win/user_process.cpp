#include "win/user_process.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <vector>

#include "common/text.h"
#include "win/guid_text.h"
#include "win/protected_security.h"

namespace tidewell {

namespace {

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using ImageFileNameFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);
using CreateEnvironmentBlockFn = BOOL(WINAPI*)(void**, HANDLE, BOOL);
using DestroyEnvironmentBlockFn = BOOL(WINAPI*)(void*);

template <typename Fn>
Fn entryPoint(const unique_hmodule& module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), name))) : nullptr;
}

// A text whose length is not known ahead (a device's target, a process's image, which a
// user can place anywhere): read with a buffer that grows until the text fits. Empty when
// the call fails for another reason.
template <typename Read>
std::wstring readGrowing(Read read) {
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::wstring text(size, L'\0');
        const DWORD length = read(text.data(), size);
        if (length > 0 && length < size) {
            text.resize(length);
            return text;
        }
        if (length == 0 && ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    }
    return {};
}

// A system DLL by its full path, so that no copy elsewhere on the search path is loaded
// into a process that runs as SYSTEM.
unique_hmodule systemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return unique_hmodule();
    return unique_hmodule(::LoadLibraryW((concat({std::wstring(folder, length), L"\\", name})).c_str()));
}

// psapi and userenv are only needed when a script runs for the user: loaded once, on
// first use, and kept for the life of the process.
struct SystemFunctions {
    unique_hmodule psapi;
    unique_hmodule userenv;
    EnumProcessesFn enumProcesses = nullptr;
    ImageFileNameFn imageFileName = nullptr;
    CreateEnvironmentBlockFn createEnvironmentBlock = nullptr;
    DestroyEnvironmentBlockFn destroyEnvironmentBlock = nullptr;
};

const SystemFunctions& systemFunctions() {
    static const SystemFunctions loaded = [] {
        SystemFunctions f;
        f.psapi = systemLibrary(L"psapi.dll");
        f.userenv = systemLibrary(L"userenv.dll");
        f.enumProcesses = entryPoint<EnumProcessesFn>(f.psapi, "EnumProcesses");
        f.imageFileName = entryPoint<ImageFileNameFn>(f.psapi, "GetProcessImageFileNameW");
        f.createEnvironmentBlock = entryPoint<CreateEnvironmentBlockFn>(f.userenv, "CreateEnvironmentBlock");
        f.destroyEnvironmentBlock = entryPoint<DestroyEnvironmentBlockFn>(f.userenv, "DestroyEnvironmentBlock");
        return f;
    }();
    return loaded;
}

std::vector<DWORD> processIds(EnumProcessesFn enumProcesses) {
    std::vector<DWORD> ids(100);
    for (;;) {
        DWORD bytes = 0;
        if (!enumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
        const size_t count = bytes / sizeof(DWORD);
        if (count < ids.size()) {
            ids.resize(count);
            return ids;
        }
        ids.resize(ids.size() + 100);
    }
}


// The account name of a SID, for the log; the SID's text when it has no name.
std::wstring accountName(PSID sid) {
    DWORD nameSize = 0, domainSize = 0;
    SID_NAME_USE use;
    ::LookupAccountSidW(nullptr, sid, nullptr, &nameSize, nullptr, &domainSize, &use);
    std::wstring name(nameSize + 1, L'\0'), domain(domainSize + 1, L'\0');
    if (nameSize > 0 && ::LookupAccountSidW(nullptr, sid, name.data(), &nameSize, domain.data(), &domainSize, &use)) {
        name.resize(nameSize);
        return name;
    }
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) return L"?";
    const unique_hlocal owned(text);
    return text;
}

const unsigned TokenAccess = TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY |
                             TOKEN_QUERY_SOURCE;

std::wstring environmentValue(const void* block, const std::wstring& name) {
    const std::wstring prefix = concat({asciiLower(name), L"="});
    for (const wchar_t* entry = static_cast<const wchar_t*>(block); *entry != L'\0';) {
        const std::wstring text(entry);
        if (text.size() > prefix.size() && asciiLower(text.substr(0, prefix.size())) == prefix)
            return text.substr(prefix.size());
        entry += text.size() + 1;
    }
    return {};
}

std::wstring error(DWORD code) { return concat({L" (error ", toDecimal(code), L")"}); }

}  // namespace

void traits::environment_block::close(type block) noexcept {
    if (const auto destroy = systemFunctions().destroyEnvironmentBlock) destroy(block);
}

void traits::impersonation::close(type) noexcept { ::RevertToSelf(); }

unique_impersonation impersonate(HANDLE token) {
    return unique_impersonation(::ImpersonateLoggedOnUser(token) != FALSE);
}

std::wstring driveLetterPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'\\') return path;
    const size_t second = path.find(L'\\', 1);
    const size_t third = second == std::wstring::npos ? std::wstring::npos : path.find(L'\\', second + 1);
    if (third == std::wstring::npos) return path;
    const std::wstring prefix = path.substr(0, third);
    const std::wstring rest = path.substr(third);
    for (wchar_t letter = L'a'; letter <= L'y'; ++letter) {
        const wchar_t drive[] = {letter, L':', L'\0'};
        // The first of the device's names is the one a path begins with.
        const std::wstring device = readGrowing([&](wchar_t* buffer, DWORD size) {
            return ::QueryDosDeviceW(drive, buffer, size);
        });
        if (!device.empty() && ::lstrcmpiW(device.c_str(), prefix.c_str()) == 0) return std::wstring(drive) + rest;
    }
    return rest;
}

std::optional<size_t> pickInstallingUserProcess(PSID user, DWORD session, const std::vector<std::wstring>& images,
                                                const std::vector<ProcessOwner>& candidates) {
    if (user == nullptr || !::IsValidSid(user)) return std::nullopt;
    for (size_t i = 0; i < candidates.size(); ++i) {
        const ProcessOwner& candidate = candidates[i];
        if (candidate.session != session || candidate.sid.empty()) continue;
        const PSID owner = const_cast<unsigned char*>(candidate.sid.data());
        if (!::IsValidSid(owner) || !::EqualSid(owner, user)) continue;
        const std::wstring image = asciiLower(candidate.image);
        for (const auto& wanted : images)
            if (asciiLower(wanted) == image) return i;
    }
    return std::nullopt;
}

UserAccount::UserAccount(const std::wstring& userSid, const std::vector<std::wstring>& images, const LogSink* log) {
    const auto say = [log](std::initializer_list<std::wstring_view> pieces) {
        if (log) log->line(pieces);
    };
    PSID rawSid = nullptr;
    if (userSid.empty() || !::ConvertStringSidToSidW(userSid.c_str(), &rawSid)) {
        say({L"the installing user is not known (UserSID '", userSid, L"')"});
        return;
    }
    const unique_hlocal sid(rawSid);
    const SystemFunctions& api = systemFunctions();
    if (api.enumProcesses == nullptr || api.imageFileName == nullptr) {
        say({L"cannot list processes: psapi.dll is not available"});
        return;
    }
    // The installer processes of this installation run in its session; the same user
    // logged on elsewhere is not asked.
    DWORD session = 0;
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) {
        say({L"cannot tell this process's session", error(::GetLastError())});
        return;
    }
    std::vector<std::wstring> wanted;
    for (const auto& image : images) wanted.push_back(asciiLower(image));
    std::vector<ProcessOwner> candidates;
    std::vector<DWORD> ids;
    for (const DWORD id : processIds(api.enumProcesses)) {
        const unique_handle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
        if (!process) continue;
        const std::wstring image = readGrowing([&](wchar_t* buffer, DWORD size) {
            return api.imageFileName(process.get(), buffer, size);
        });
        if (image.empty()) continue;
        ProcessOwner candidate{asciiLower(driveLetterPath(image)), {}, 0};
        bool installer = false;
        for (const auto& w : wanted) installer = installer || w == candidate.image;
        if (!installer) continue;
        unique_handle token;
        if (::OpenProcessToken(process.get(), TOKEN_QUERY, token.put())) candidate.sid = tokenUser(token.get());
        if (!::ProcessIdToSessionId(id, &candidate.session)) continue;
        candidates.push_back(std::move(candidate));
        ids.push_back(id);
    }
    const auto chosen = pickInstallingUserProcess(sid.get(), session, wanted, candidates);
    name_ = accountName(sid.get());
    if (!chosen) {
        say({L"no installer process of ", name_, L" runs in session ", toDecimal(session)});
        return;
    }
    const DWORD id = ids[*chosen];
    const unique_handle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
    if (!process || !::OpenProcessToken(process.get(), TokenAccess, token_.put())) {
        say({L"cannot open the token of process ", toDecimal(id), L" of ", name_, error(::GetLastError())});
        token_.reset();
        return;
    }
    if (api.createEnvironmentBlock == nullptr || api.destroyEnvironmentBlock == nullptr) {
        say({L"cannot make the environment of ", name_, L": userenv.dll is not available"});
        return;
    }
    if (!api.createEnvironmentBlock(environment_.put(), token_.get(), FALSE)) {
        say({L"cannot make the environment of ", name_, error(::GetLastError())});
        environment_.reset();
        return;
    }
    tempFolder_ = environmentValue(environment_.get(), L"TEMP");
    if (tempFolder_.empty()) tempFolder_ = environmentValue(environment_.get(), L"TMP");
    if (tempFolder_.empty()) say({L"the environment of ", name_, L" names no temporary folder"});
    else say({L"the user's script runs as ", name_, L" (owner of process ", toDecimal(id), L")"});
}

ActingAs::ActingAs(HANDLE token) : token_(token) {
    if (token_ != nullptr) impersonation_ = impersonate(token_);
}

namespace {

// The output's pipe: this process's reading end is overlapped, so that waiting for output
// can be given up; the writing end is inheritable, for the program. A named pipe with one
// instance, connected here before anyone else learns its name.
DWORD makeOutputPipe(unique_hfile& readEnd, unique_hfile& writeEnd) {
    const std::wstring name = concat({L"\\\\.\\pipe\\tidewell-", newGuidText()});
    readEnd.reset(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                     PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                                     4096, 0, nullptr));
    if (!readEnd) return ::GetLastError();
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    writeEnd.reset(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0, nullptr));
    return writeEnd ? ERROR_SUCCESS : ::GetLastError();
}

// A job that ends its processes when its last handle closes, however this call is left.
// Null, with the error, where the system gives none.
unique_handle makeJob(DWORD& error) {
    unique_handle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job || !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        error = ::GetLastError();
        job.reset();
    }
    return job;
}

void keepOutput(ProgramRun& run, const char* bytes, DWORD count) {
    const size_t taken = std::min<size_t>(count, kKeptOutput - run.output.size());
    run.output.append(bytes, taken);
    run.discarded += count - taken;
}

// Reads the program's output until the pipe closes. Once the program has ended, its job
// is ended too (a child that kept the pipe open ends with it), and what is left is read
// for kOutputGraceMs at most.
void readOutput(HANDLE readEnd, HANDLE process, HANDLE job, ProgramRun& run) {
    const unique_handle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready) return;
    char buffer[4096];
    bool ended = false;
    ULONGLONG deadline = 0;
    for (;;) {
        OVERLAPPED request{};
        request.hEvent = ready.get();
        if (!::ReadFile(readEnd, buffer, sizeof(buffer), nullptr, &request) && ::GetLastError() != ERROR_IO_PENDING)
            return;  // every writer has closed it
        for (;;) {
            const HANDLE waits[2] = {ready.get(), process};
            const ULONGLONG now = ::GetTickCount64();
            const DWORD timeout = !ended ? INFINITE : now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
            const DWORD woke = ::WaitForMultipleObjects(ended ? 1 : 2, waits, FALSE, timeout);
            if (woke == WAIT_OBJECT_0) break;
            if (woke == WAIT_OBJECT_0 + 1) {
                ended = true;
                if (job != nullptr) ::TerminateJobObject(job, ERROR_PROCESS_ABORTED);
                deadline = ::GetTickCount64() + kOutputGraceMs;
                continue;
            }
            // Someone outside the job holds the pipe: the read is given up (and waited
            // for, since it writes into this frame's buffer).
            ::CancelIo(readEnd);
            DWORD got = 0;
            if (::GetOverlappedResult(readEnd, &request, &got, TRUE)) keepOutput(run, buffer, got);
            run.outputEnd = OutputEnd::LeftOpen;
            return;
        }
        DWORD got = 0;
        if (!::GetOverlappedResult(readEnd, &request, &got, FALSE)) return;
        keepOutput(run, buffer, got);
    }
}

}  // namespace

ProgramRun runProgram(const std::wstring& program, const std::wstring& commandLine, const UserAccount* account) {
    ProgramRun run;
    run.output.reserve(kKeptOutput);
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    unique_hfile readEnd, writeEnd;
    if ((run.error = makeOutputPipe(readEnd, writeEnd)) != ERROR_SUCCESS) return run;
    unique_hfile input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                     OPEN_EXISTING, 0, nullptr));

    // The program inherits its two standard handles and nothing else of this process
    // (the installer's files, keys and the journal stay out of the user's reach).
    HANDLE inherited[2] = {writeEnd.get(), input.get()};
    const DWORD inheritedCount = input ? 2 : 1;
    SIZE_T listSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listMemory(listSize);
    unique_attribute_list list;
    if (listSize == 0 ||
        !::InitializeProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data()), 1,
                                             0, &listSize)) {
        run.error = ::GetLastError();
        return run;
    }
    list.reset(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data()));
    if (!::UpdateProcThreadAttribute(list.get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                     inheritedCount * sizeof(HANDLE), nullptr, nullptr)) {
        run.error = ::GetLastError();
        return run;
    }
    // Declared before the process: on every way out, the job's last handle closes and
    // ends whatever of the program still runs.
    const unique_handle job = makeJob(run.jobError);
    // A folder of the system's as the current folder: never one a user can plant programs in.
    wchar_t systemFolder[MAX_PATH];
    const UINT folderLength = ::GetSystemDirectoryW(systemFolder, MAX_PATH);
    const wchar_t* startFolder = folderLength > 0 && folderLength < MAX_PATH ? systemFolder : nullptr;

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = writeEnd.get();
    startup.StartupInfo.hStdError = writeEnd.get();
    startup.lpAttributeList = list.get();
    wchar_t desktop[] = L"winsta0\\default";
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine;
    // Suspended until it is in the job, so that nothing it starts is outside it.
    const DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT;
    BOOL started = FALSE;
    if (account != nullptr) {
        startup.StartupInfo.lpDesktop = desktop;
        started = ::CreateProcessAsUserW(account->token(), program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                         flags | CREATE_UNICODE_ENVIRONMENT, account->environment(), startFolder,
                                         &startup.StartupInfo, &info);
    } else {
        started = ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr, startFolder,
                                   &startup.StartupInfo, &info);
    }
    if (!started) {
        run.error = ::GetLastError();
        return run;
    }
    run.started = true;
    const unique_handle process(info.hProcess);
    const unique_handle thread(info.hThread);
    if (job && !::AssignProcessToJobObject(job.get(), process.get())) run.jobError = ::GetLastError();
    const HANDLE ownJob = run.jobError == ERROR_SUCCESS ? job.get() : nullptr;
    if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        run.error = ::GetLastError();
        ::TerminateProcess(process.get(), ERROR_PROCESS_ABORTED);
    }
    // Only the program (and what it starts) holds the pipe's write end now.
    writeEnd.reset();
    input.reset();
    readOutput(readEnd.get(), process.get(), ownJob, run);
    // A holder left behind now writes into a closed pipe rather than a full one.
    readEnd.reset();
    ::WaitForSingleObject(process.get(), INFINITE);
    if (ownJob != nullptr) ::TerminateJobObject(ownJob, ERROR_PROCESS_ABORTED);
    if (!::GetExitCodeProcess(process.get(), &run.exitCode)) run.exitCode = static_cast<DWORD>(-1);
    return run;
}

}  // namespace tidewell
