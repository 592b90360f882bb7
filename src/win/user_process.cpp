#include "win/user_process.h"

#include <windows.h>

#include "common/text.h"
#include "common/unique_any.h"

namespace tidewell {

namespace {

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using ImageFileNameFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);

struct Psapi {
    unique_hmodule module;
    EnumProcessesFn enumProcesses = nullptr;
    ImageFileNameFn imageFileName = nullptr;
};

template <typename Fn>
Fn entryPoint(const unique_hmodule& module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), name))) : nullptr;
}

// psapi is only needed when a script runs for the user: loaded once, on first use.
const Psapi& psapi() {
    static const Psapi loaded = [] {
        Psapi p;
        p.module.reset(::LoadLibraryW(L"psapi.dll"));
        p.enumProcesses = entryPoint<EnumProcessesFn>(p.module, "EnumProcesses");
        p.imageFileName = entryPoint<ImageFileNameFn>(p.module, "GetProcessImageFileNameW");
        return p;
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

// The account name of the token's user; empty when it cannot be read.
std::wstring accountName(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    DWORD nameSize = 0, domainSize = 0;
    SID_NAME_USE use;
    ::LookupAccountSidW(nullptr, sid, nullptr, &nameSize, nullptr, &domainSize, &use);
    if (nameSize == 0) return {};
    std::wstring name(nameSize, L'\0'), domain(domainSize + 1, L'\0');
    if (!::LookupAccountSidW(nullptr, sid, name.data(), &nameSize, domain.data(), &domainSize, &use)) return {};
    name.resize(nameSize);
    return name;
}

void waitFor(const PROCESS_INFORMATION& info) {
    const unique_handle process(info.hProcess);
    const unique_handle thread(info.hThread);
    ::WaitForSingleObject(process.get(), INFINITE);
}

}  // namespace

std::wstring driveLetterPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'\\') return path;
    const size_t second = path.find(L'\\', 1);
    const size_t third = second == std::wstring::npos ? std::wstring::npos : path.find(L'\\', second + 1);
    if (third == std::wstring::npos) return path;
    const std::wstring prefix = path.substr(0, third);
    const std::wstring rest = path.substr(third);
    for (wchar_t letter = L'a'; letter <= L'y'; ++letter) {
        const wchar_t drive[] = {letter, L':', L'\0'};
        wchar_t device[MAX_PATH];
        if (::QueryDosDeviceW(drive, device, MAX_PATH) == 0) continue;
        if (::lstrcmpiW(device, prefix.c_str()) == 0) return std::wstring(drive) + rest;
    }
    return rest;
}

bool runAndWait(const std::wstring& program, const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &info))
        return false;
    waitFor(info);
    return true;
}

int runAsImageOwners(const std::wstring& program, const std::wstring& commandLine,
                     const std::vector<std::wstring>& images, const LogSink* log) {
    const Psapi& api = psapi();
    if (api.enumProcesses == nullptr || api.imageFileName == nullptr) {
        if (log) log->line(L"cannot list processes: psapi.dll is not available");
        return 0;
    }
    std::vector<std::wstring> wanted;
    for (const auto& image : images) wanted.push_back(asciiLower(image));

    int runs = 0;
    for (const DWORD id : processIds(api.enumProcesses)) {
        const unique_handle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
        if (!process) continue;
        wchar_t image[MAX_PATH];
        const DWORD length = api.imageFileName(process.get(), image, MAX_PATH);
        if (length == 0) continue;
        const std::wstring path = asciiLower(driveLetterPath(std::wstring(image, length)));
        bool match = false;
        for (const auto& candidate : wanted) match = match || candidate == path;
        if (!match) continue;

        unique_handle token;
        if (!::OpenProcessToken(process.get(),
                                TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY |
                                    TOKEN_QUERY_SOURCE,
                                token.put())) {
            if (log) log->line(L"process " + toDecimal(id) + L" (" + path + L"): cannot open its token (error " +
                               toDecimal(::GetLastError()) + L")");
            continue;
        }
        const std::wstring account = accountName(token.get());
        if (asciiLower(account) == L"system") continue;

        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        wchar_t desktop[] = L"winsta0\\default";
        startup.lpDesktop = desktop;
        PROCESS_INFORMATION info{};
        std::wstring line = commandLine;
        if (!::CreateProcessAsUserW(token.get(), program.c_str(), line.data(), nullptr, nullptr, FALSE,
                                    CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
            if (log) log->line(L"cannot start the script as " + account + L" (error " +
                               toDecimal(::GetLastError()) + L")");
            continue;
        }
        waitFor(info);
        ++runs;
        if (log) log->line(L"ran the script as " + account + L" (owner of process " + toDecimal(id) + L")");
    }
    return runs;
}

}  // namespace tidewell
