// The library with its failure seam armed from the environment: the package tests put
// this DLL into a package in place of the shipped one, so that one call fails inside a
// real installation. It is built for the tests only; the shipped DLLs have no way to arm
// the seam.
//
//   TIDEWELL_TEST_FAULT=<kind>,<position>,<fault>[,on|full]
//   kind: any open create write read rename delete copy list attributes registry
//   fault: disk-full access-denied sharing-violation path-not-found short-write
//   on: every call from the position on fails (a disk that stays full), not only that one
//   full: once the fault is made, every later create, write and rename fails with a full
//   disk, whatever its kind (deletes still go through)
//   end: the process ends at that call, as a killed custom-action host does
//   TIDEWELL_TEST_FAULT_MARK=<file>: written when the fault is made; while it exists the
//   seam stays off, so that the fault is made in one action of the installation only
//   (every action loads the DLL anew, and its count starts again)
//   TIDEWELL_TEST_FAULT_WHEN=<file>: the seam is armed only when the file exists as the DLL
//   loads, so that a test action sequenced before it chooses the action that meets it
#include <windows.h>

#include <cwchar>
#include <string>

#include "win/fault_seam.h"

namespace {

using tidewell::SeamCall;
using tidewell::SeamFault;

bool parseKind(const std::wstring& text, tidewell::SeamPlan& plan) {
    static const struct {
        const wchar_t* name;
        SeamCall kind;
    } kinds[] = {{L"open", SeamCall::Open},     {L"create", SeamCall::Create},         {L"write", SeamCall::Write},
                 {L"read", SeamCall::Read},     {L"rename", SeamCall::Rename},         {L"delete", SeamCall::Delete},
                 {L"copy", SeamCall::Copy},     {L"list", SeamCall::List},             {L"attributes", SeamCall::Attributes},
                 {L"registry", SeamCall::Registry}};
    if (text == L"any") return true;
    for (const auto& k : kinds)
        if (text == k.name) {
            plan.onlyOneKind = true;
            plan.kind = k.kind;
            return true;
        }
    return false;
}

bool parseFault(const std::wstring& text, SeamFault& fault) {
    static const struct {
        const wchar_t* name;
        SeamFault fault;
    } faults[] = {{L"disk-full", SeamFault::DiskFull},
                  {L"access-denied", SeamFault::AccessDenied},
                  {L"sharing-violation", SeamFault::SharingViolation},
                  {L"path-not-found", SeamFault::PathNotFound},
                  {L"short-write", SeamFault::ShortWrite}};
    for (const auto& f : faults)
        if (text == f.name) {
            fault = f.fault;
            return true;
        }
    return false;
}

wchar_t g_mark[MAX_PATH];

void markFaultMade() {
    if (g_mark[0] == L'\0') return;
    const HANDLE file = ::CreateFileW(g_mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

void markAndEnd() {
    markFaultMade();
    ::TerminateProcess(::GetCurrentProcess(), ERROR_INSTALL_FAILURE);
}

bool gateIsOpen() {
    wchar_t gate[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"TIDEWELL_TEST_FAULT_WHEN", gate, MAX_PATH);
    if (length == 0) return true;
    return length < MAX_PATH && ::GetFileAttributesW(gate) != INVALID_FILE_ATTRIBUTES;
}

struct ArmFromEnvironment {
    ArmFromEnvironment() {
        const DWORD marked = ::GetEnvironmentVariableW(L"TIDEWELL_TEST_FAULT_MARK", g_mark, MAX_PATH);
        if (marked >= MAX_PATH) g_mark[0] = L'\0';
        if (g_mark[0] != L'\0' && ::GetFileAttributesW(g_mark) != INVALID_FILE_ATTRIBUTES) return;
        if (!gateIsOpen()) return;
        wchar_t value[128];
        const DWORD length = ::GetEnvironmentVariableW(L"TIDEWELL_TEST_FAULT", value, 128);
        if (length == 0 || length >= 128) return;
        std::wstring fields[4];
        size_t count = 0;
        for (const wchar_t* at = value; count < 4; ++count) {
            const wchar_t* comma = std::wcschr(at, L',');
            fields[count] = comma ? std::wstring(at, comma) : std::wstring(at);
            if (!comma) {
                ++count;
                break;
            }
            at = comma + 1;
        }
        tidewell::SeamPlan plan;
        plan.position = std::wcstoll(fields[1].c_str(), nullptr, 10);
        const bool end = fields[2] == L"end";
        if (end) plan.fault = SeamFault::AccessDenied;
        if (count < 3 || !parseKind(fields[0], plan) || (!end && !parseFault(fields[2], plan.fault)) || plan.position <= 0)
            return;
        if (!fields[3].empty() && fields[3] != L"on" && fields[3] != L"full") return;
        plan.repeat = fields[3] == L"on" ? tidewell::SeamRepeat::FromThenOn : tidewell::SeamRepeat::Once;
        plan.diskFullAfter = fields[3] == L"full";
        plan.then = end ? markAndEnd : markFaultMade;
        tidewell::armFaultSeam(plan);
    }
} armFromEnvironment;

}  // namespace
