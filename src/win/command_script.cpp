#include "win/command_script.h"

#include <windows.h>

#include "common/text.h"
#include "common/unique_any.h"
#include "win/fault_seam.h"
#include "win/folder_tree.h"
#include "win/guid_text.h"
#include "win/paths.h"
#include "win/user_process.h"

namespace tidewell {

namespace {

std::wstring knownWindowsFolder() {
    const std::wstring folder = windowsFolder();
    return folder.empty() ? std::wstring(L"C:\\Windows") : folder;
}

std::wstring shell() { return concat({knownWindowsFolder(), L"\\system32\\cmd.exe"}); }

// The line that item subroutines' arrivals are told by, followed by the item number.
constexpr const wchar_t* kArrivedMark = L"tidewell-arrived ";

// No AutoRun commands (/D), no delayed expansion that would read "!" in a path (/V:OFF);
// /S keeps the quotes around the script path whatever characters it holds.
std::wstring commandLine(const std::wstring& script) {
    return concat({L"\"", shell(), L"\" /D /V:OFF /S /C \"\"", script, L"\"\""});
}

std::wstring errorText(DWORD code) { return concat({L" (error ", toDecimal(code), L")"}); }

// A path between double quotes; "%" is doubled, since a script would expand it.
std::wstring quote(const std::wstring& text) {
    std::wstring result = L"\"";
    for (wchar_t c : text) {
        result += c;
        if (c == L'%') result += L'%';
    }
    return concat({result, L"\""});
}

struct Parts {
    std::wstring parent;  // with a trailing backslash
    std::wstring leaf;    // without one
};

Parts splitSource(const std::wstring& source) {
    Parts parts{parentFolder(source), {}};
    ensureTrailingBackslash(parts.parent);
    parts.leaf = source.size() > parts.parent.size() ? source.substr(parts.parent.size()) : std::wstring();
    removeTrailingBackslash(parts.leaf);
    return parts;
}

// The start that move and copy commands share: the destination, with a trailing
// backslash and a "mkdir" line when it is to be created.
struct CommandStart {
    Parts parts;
    std::wstring target;
    std::wstring text;
};

CommandStart startCommands(const std::wstring& source, const std::wstring& destination, DestinationFolder folder) {
    CommandStart start{splitSource(source), destination, {}};
    if (folder == DestinationFolder::Create) {
        ensureTrailingBackslash(start.target);
        start.text = concat({L"mkdir ", quote(start.target), L"\r\n"});
    }
    return start;
}

std::wstring withBackslash(std::wstring path) {
    ensureTrailingBackslash(path);
    return path;
}

// Enters the source's parent. cmd.exe in Wine 8 runs the right side of "||" and "&&"
// whatever the left side did, so the guard is the status pushd sets: 0 when it entered
// the folder, 1 when not (Windows clears it on success too). Without the guard, the
// relative names below would act in whatever folder the script happens to be in.
std::wstring enterParent(const Parts& parts) {
    return concat({L"pushd ", quote(parts.parent), L"\r\nif errorlevel 1 exit /b 1\r\n"});
}

// After the fallback xcopy of a folder that is still there: its deletion, only when xcopy
// succeeded. "del /S" is given the folder's own entries ("leaf\*"): with the bare leaf it
// would delete files of that name in every subfolder of the current folder, the
// destination's copy included.
std::wstring deleteAfterCopy(const std::wstring& leaf) {
    return concat({L"if exist ", quote(concat({leaf, L"\\*"})), L" if not errorlevel 1 (del /Q /F /S ", quote(concat({leaf, L"\\*"})),
           L" & rmdir /Q /S ", quote(leaf), L")\r\n"});
}


}  // namespace

bool toScriptText(const std::wstring& text, std::string& bytes) {
    bytes.clear();
    if (text.empty()) return true;
    BOOL lost = FALSE;
    const int size = ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, &lost);
    if (size <= 0 || lost) return false;
    bytes.assign(size, '\0');
    ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), bytes.data(),
                          size, nullptr, &lost);
    return !lost;
}

CommandScript::CommandScript(const LogSink* log) : log_(log) {}

CommandScript::~CommandScript() {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
}

bool CommandScript::add(const std::wstring& commands, ArrivalReport report) {
    std::string bytes;
    if (ran_ || !toScriptText(commands, bytes)) {
        if (log_) log_->line({L"cannot write commands into the script for: ", commands.substr(0, commands.find(L'\r'))});
        return false;
    }
    items_.push_back({commands, std::move(report)});
    return true;
}

// Each item is a subroutine, so that its "exit /b" leaves only the item; its output goes
// to NUL and the main part writes one line for every item that arrived, which is what
// the run reads back. The exit status counts the items that did not arrive.
std::wstring CommandScript::scriptText() const {
    std::wstring text = L"@echo off\r\nset tidewell_missing=0\r\n";
    for (size_t i = 0; i < items_.size(); ++i) {
        const std::wstring n = toDecimal(static_cast<long long>(i));
        text += concat({L"call :item", n, L" >nul 2>&1\r\n"});
        text += concat({L"if errorlevel 1 (set /a tidewell_missing+=1) else (echo ", std::wstring(kArrivedMark), n, L")\r\n"});
    }
    text += L"exit /b %tidewell_missing%\r\n";
    for (size_t i = 0; i < items_.size(); ++i)
        text += concat({L":item", toDecimal(static_cast<long long>(i)), L"\r\n", items_[i].commands, L"exit /b 1\r\n"});
    return text;
}

// Creates the script new (never through a file already there) and reads it back: a
// script its account cannot read back would run nothing and report nothing.
bool CommandScript::writeScript(const std::wstring& folder) {
    std::string bytes;
    if (!toScriptText(scriptText(), bytes)) return false;
    std::wstring path = folder;
    ensureTrailingBackslash(path);
    path += concat({newGuidText(), L".bat"});
    {
        const unique_hfile file(seamFails(SeamCall::Create) ? INVALID_HANDLE_VALUE
                                                            : ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (log_) log_->line({L"cannot create the script ", path, errorText(::GetLastError())});
            return false;
        }
        path_ = path;
        DWORD written = 0;
        if (!seamWriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written) ||
            written != bytes.size()) {
            if (log_) log_->line({L"cannot write the script ", path, errorText(::GetLastError())});
            return false;
        }
    }
    const unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    std::string back(bytes.size() + 1, '\0');
    DWORD read = 0;
    if (!file || !::ReadFile(file.get(), back.data(), static_cast<DWORD>(back.size()), &read, nullptr) ||
        back.compare(0, read, bytes) != 0 || read != bytes.size()) {
        if (log_) log_->line({L"the script ", path, L" cannot be read back by the account it runs in",
                             errorText(::GetLastError())});
        return false;
    }
    return true;
}

bool CommandScript::settleUnrun(const std::wstring& why) {
    if (log_) log_->line(why);
    for (auto& item : items_) item.report(false);
    return false;
}

bool CommandScript::finishRun(const ProgramRun& run) {
    std::vector<bool> arrived(items_.size(), false);
    size_t count = 0;
    const std::string mark = toAnsi(kArrivedMark);
    for (size_t start = 0; start < run.output.size();) {
        size_t end = run.output.find('\n', start);
        if (end == std::string::npos) end = run.output.size();
        std::string line = run.output.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.size() <= mark.size() || line.size() > mark.size() + 9 || line.compare(0, mark.size(), mark) != 0 ||
            line.find_first_not_of("0123456789", mark.size()) != std::string::npos)
            continue;
        const size_t n = std::stoul(line.substr(mark.size()));
        if (n < arrived.size() && !arrived[n]) {
            arrived[n] = true;
            ++count;
        }
    }
    if (!run.started) {
        if (log_) log_->line({L"cannot start the script", errorText(run.error)});
    } else if (log_) {
        log_->line({L"the script ended with status ", toDecimal(run.exitCode), L": ",
                   toDecimal(static_cast<long long>(count)), L" of ",
                   toDecimal(static_cast<long long>(items_.size())), L" items arrived"});
    }
    for (size_t i = 0; i < items_.size(); ++i) items_[i].report(arrived[i]);
    return run.started && count == items_.size();
}

bool CommandScript::runInOwnAccount() {
    if (ran_ || items_.empty()) return items_.empty();
    ran_ = true;
    if (!writeScript(tempFolder())) return settleUnrun(L"the script did not run");
    const ProgramRun run = runProgram(shell(), commandLine(path_));
    ::DeleteFileW(path_.c_str());
    path_.clear();
    return finishRun(run);
}

bool CommandScript::runAsUserOf(const std::wstring& userSid, const std::vector<std::wstring>& images) {
    if (ran_ || items_.empty()) return items_.empty();
    ran_ = true;
    const UserAccount account(userSid, images, log_);
    if (!account.usable()) return settleUnrun(L"the user's script did not run: its items stay where they are");
    ProgramRun run;
    {
        // Written, read back and deleted as the user: the script lies where the user's
        // own account can read it, and nothing in the user's folder is touched with this
        // process's rights.
        const unique_impersonation asUser = impersonate(account.token());
        if (!asUser) return settleUnrun(concat({L"cannot act as ", account.name(), errorText(::GetLastError()),
                                        L": the user's script did not run"}));
        if (!writeScript(account.tempFolder())) {
            if (!path_.empty()) ::DeleteFileW(path_.c_str());
            path_.clear();
            return settleUnrun(L"the user's script did not run: its items stay where they are");
        }
    }
    run = runProgram(shell(), commandLine(path_), &account);
    {
        const unique_impersonation asUser = impersonate(account.token());
        ::DeleteFileW(path_.c_str());
    }
    path_.clear();
    return finishRun(run);
}

bool CommandScript::runForInstallingUser(const std::wstring& userSid) {
    if (!hasCommands()) return true;
    const std::wstring windows = knownWindowsFolder();
    return runAsUserOf(userSid, {concat({windows, L"\\system32\\msiexec.exe"}), concat({windows, L"\\SysWOW64\\msiexec.exe"})});
}

std::wstring buildMoveCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                               DestinationFolder folder, ExistingTarget existing) {
    auto [parts, target, text] = startCommands(source, destination, folder);
    const std::wstring leaf = quote(parts.leaf);
    text += enterParent(parts);
    if (part == SourcePart::Item) {
        // An item found where it goes and gone from where it was has arrived already (a
        // record written ahead names items that a run ended before moving, or after).
        text += concat({L"if not exist ", leaf, L" if exist ", quote(withBackslash(target) + parts.leaf),
                        L" (popd & exit /b 0)\r\n"});
        // Whatever stands there now is newer than the item, and is kept as it is.
        if (existing == ExistingTarget::Refuse)
            text += concat({L"if exist ", quote(withBackslash(target) + parts.leaf), L" (popd & exit /b 1)\r\n"});
        // The fallback copies a folder that move could not take across volumes, and
        // deletes the source only once the copy succeeded; a file never needs it (move
        // copies files across volumes itself).
        text += concat({L"move /Y ", leaf, L" ", quote(target), L"\r\n"});
        text += concat({L"if exist ", quote(concat({parts.leaf, L"\\*"})), L" xcopy /E /Y /K /H /I ", leaf, L" ",
                quote(withBackslash(target) + parts.leaf), L"\r\n"});
        text += deleteAfterCopy(parts.leaf);
        text += L"popd\r\n";
        text += concat({L"if exist ", quote(parts.parent + parts.leaf), L" exit /b 1\r\n"});
        text += concat({L"if not exist ", quote(withBackslash(target) + parts.leaf), L" exit /b 1\r\nexit /b 0\r\n"});
        return text;
    }
    std::wstring escapedLeaf = leaf.substr(1, leaf.size() - 2);
    text += concat({L"for /f \"tokens=*\" %%a in ('dir /b /a ", leaf, L" ') do move /Y \"%cd%\\", escapedLeaf,
            L"\\%%a\" ", quote(target), L"\r\n"});
    // Whatever move left is copied, and deleted only once the copy succeeded.
    text += concat({L"rmdir ", leaf, L"\r\n"});
    text += concat({L"if exist ", quote(concat({parts.leaf, L"\\*"})), L" xcopy /E /Y /K /H /I ", quote(concat({parts.leaf, L"\\*"})), L" ",
            quote(target), L"\r\n"});
    text += deleteAfterCopy(parts.leaf);
    text += L"popd\r\n";
    text += concat({L"if exist ", quote(parts.parent + parts.leaf), L" exit /b 1\r\nexit /b 0\r\n"});
    return text;
}

std::wstring buildCopyCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                               DestinationFolder folder) {
    auto [parts, target, text] = startCommands(source, destination, folder);
    text += enterParent(parts);
    if (part == SourcePart::Contents) {
        text += concat({L"xcopy /E /Y /K /H /I ", quote(concat({parts.leaf, L"\\*"})), L" ", quote(target), L"\r\n"});
        return concat({text, L"if errorlevel 1 exit /b 1\r\npopd\r\nexit /b 0\r\n"});
    }
    // xcopy asks whether a single file's new name is a file or a folder (and asks forever
    // when nobody answers): a file is copied into the folder instead.
    text += concat({L"if exist ", quote(concat({parts.leaf, L"\\*"})), L" (xcopy /E /Y /K /H /I ", quote(parts.leaf), L" ",
            quote(withBackslash(target) + parts.leaf), L") else (xcopy /Y /K /H ", quote(parts.leaf), L" ",
            quote(withBackslash(target)), L")\r\n"});
    text += L"if errorlevel 1 exit /b 1\r\npopd\r\n";
    return concat({text, L"if not exist ", quote(withBackslash(target) + parts.leaf), L" exit /b 1\r\nexit /b 0\r\n"});
}

}  // namespace tidewell
