#include "win/user_process.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "common/text.h"
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

ProgramRun runProgram(const std::wstring& program, const std::wstring& commandLine, const UserAccount* account) {
    ProgramRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    unique_handle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0)) {
        run.error = ::GetLastError();
        return run;
    }
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
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
    BOOL started = FALSE;
    if (account != nullptr) {
        startup.StartupInfo.lpDesktop = desktop;
        started = ::CreateProcessAsUserW(account->token(), program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                         CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT,
                                         account->environment(), nullptr, &startup.StartupInfo, &info);
    } else {
        started = ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                   &startup.StartupInfo, &info);
    }
    if (!started) {
        run.error = ::GetLastError();
        return run;
    }
    run.started = true;
    const unique_handle process(info.hProcess);
    const unique_handle thread(info.hThread);
    // Only the program holds the pipe's write end now: reading ends when it (and whatever
    // it started) has ended.
    writeEnd.reset();
    input.reset();
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(readEnd.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) run.output.append(buffer, read);
    ::WaitForSingleObject(process.get(), INFINITE);
    if (!::GetExitCodeProcess(process.get(), &run.exitCode)) run.exitCode = static_cast<DWORD>(-1);
    return run;
}

}  // namespace tidewell
