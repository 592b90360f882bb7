#include "win/command_script.h"

#include <windows.h>

#include "common/text.h"
#include "win/paths.h"
#include "win/script_file.h"
#include "win/tree_copy.h"
#include "win/user_process.h"

namespace tidewell {

namespace {

std::wstring knownWindowsFolder() {
    const std::wstring folder = windowsFolder();
    return folder.empty() ? std::wstring(L"C:\\Windows") : folder;
}

// A program of the system folder by its full path: cmd.exe looks for a bare name in the
// current folder first, and the script must run no program that someone put elsewhere.
std::wstring systemProgram(const wchar_t* name) { return concat({knownWindowsFolder(), L"\\system32\\", name}); }

std::wstring shell() { return systemProgram(L"cmd.exe"); }

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

std::wstring withBackslash(std::wstring path) {
    ensureTrailingBackslash(path);
    return path;
}

// The start that move and copy commands share: the source without a trailing backslash,
// its leaf, the destination (with a trailing backslash and a "mkdir" line when it is to
// be created) and the leaf's place in it.
struct CommandStart {
    std::wstring source;
    std::wstring leaf;
    std::wstring target;
    std::wstring arrived;
    std::wstring text;
};

CommandStart startCommands(const std::wstring& source, const std::wstring& destination, DestinationFolder folder) {
    CommandStart start{source, {}, destination, {}, {}};
    removeTrailingBackslash(start.source);
    start.leaf = leafName(start.source);
    if (folder == DestinationFolder::Create) {
        ensureTrailingBackslash(start.target);
        start.text = concat({L"mkdir ", quote(start.target), L"\r\n"});
    }
    start.arrived = withBackslash(start.target) + start.leaf;
    return start;
}

std::wstring xcopy() { return quote(systemProgram(L"xcopy.exe")); }

// After the fallback xcopy of a folder that is still there: its deletion, only when xcopy
// succeeded. "del /S" is given the folder's own entries ("folder\*"), and the folder goes
// with them.
std::wstring deleteAfterCopy(const std::wstring& folder) {
    const std::wstring entries = quote(concat({folder, L"\\*"}));
    return concat({L"if exist ", entries, L" if not errorlevel 1 (del /Q /F /S ", entries, L" & rmdir /Q /S ",
                   quote(folder), L")\r\n"});
}

// A path names nothing any more: the file system says so, not an access it refused.
bool isGone(const std::wstring& path) {
    if (fileAttributes(path) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool hasArrived(const ScriptItem& item) {
    switch (item.arrival) {
    case Arrival::Moved: return isGone(item.source) && fileAttributes(item.arrived) != INVALID_FILE_ATTRIBUTES;
    case Arrival::Emptied: return isGone(item.source);
    case Arrival::Copied: return sameTree(item.source, item.arrived);
    }
    return false;
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

bool CommandScript::add(const ScriptItem& item, ArrivalReport report) {
    std::string bytes;
    if (ran_ || !toScriptText(item.commands, bytes)) {
        if (log_)
            log_->line({L"cannot write commands into the script for: ", item.commands.substr(0, item.commands.find(L'\r'))});
        return false;
    }
    items_.push_back({item, std::move(report)});
    return true;
}

// Each item is a subroutine, so that its "exit /b" leaves only the item; its output goes
// to NUL. The exit status counts the items that did not arrive by the script's account;
// the log shows it beside what the library saw.
std::wstring CommandScript::scriptText() const {
    std::wstring text = L"@echo off\r\nset tidewell_missing=0\r\n";
    for (size_t i = 0; i < items_.size(); ++i) {
        text += concat({L"call :item", toDecimal(static_cast<long long>(i)), L" >nul 2>&1\r\n"});
        text += L"if errorlevel 1 set /a tidewell_missing+=1\r\n";
    }
    text += L"exit /b %tidewell_missing%\r\n";
    for (size_t i = 0; i < items_.size(); ++i)
        text += concat({L":item", toDecimal(static_cast<long long>(i)), L"\r\n", items_[i].item.commands, L"exit /b 1\r\n"});
    return text;
}

bool CommandScript::settleUnrun(const std::wstring& why) {
    if (log_) log_->line(why);
    for (auto& item : items_) item.report(false);
    return false;
}

void CommandScript::logRun(const ProgramRun& run, size_t arrived) const {
    if (!log_) return;
    if (!run.started) {
        log_->line({L"cannot start the script", errorText(run.error)});
        return;
    }
    if (run.jobError != ERROR_SUCCESS)
        log_->line({L"the script ran outside a job object, so what it started may outlive it", errorText(run.jobError)});
    if (run.discarded > 0)
        log_->line({L"the script wrote ", toDecimal(static_cast<long long>(run.discarded)),
                    L" bytes of output beyond the ", toDecimal(static_cast<long long>(kKeptOutput)),
                    L" kept: they were discarded"});
    if (run.outputEnd == OutputEnd::LeftOpen)
        log_->line({L"a process outside the script held its output open after it ended: not waited for beyond ",
                    toDecimal(static_cast<long long>(kOutputGraceMs)), L" ms"});
    log_->line({L"the script ended with status ", toDecimal(run.exitCode), L": ", toDecimal(static_cast<long long>(arrived)),
                L" of ", toDecimal(static_cast<long long>(items_.size())), L" items arrived"});
}

bool CommandScript::finishRun(const ProgramRun& run, HANDLE token) {
    std::vector<bool> arrived(items_.size(), false);
    size_t count = 0;
    if (run.started) {
        // Looked at in the script's account: the user's shares may be closed to this one.
        const ActingAs account(token);
        if (!account.holds()) {
            if (log_) log_->line({L"cannot act as the script's user to see which items arrived", errorText(::GetLastError())});
        } else {
            for (size_t i = 0; i < items_.size(); ++i) {
                arrived[i] = hasArrived(items_[i].item);
                if (arrived[i]) ++count;
            }
        }
    }
    logRun(run, count);
    for (size_t i = 0; i < items_.size(); ++i) items_[i].report(arrived[i]);
    return run.started && count == items_.size();
}

// The file is written, read back and deleted in the account the script runs in (by
// ScriptFile, acting as the token's user), and held open while it runs; this process
// only starts cmd.exe, with the token.
bool CommandScript::runIn(const std::wstring& folder, const UserAccount* account, HANDLE token) {
    std::string bytes;
    ScriptFile file(token, log_);
    if (!toScriptText(scriptText(), bytes) || !file.write(folder, bytes))
        return settleUnrun(account != nullptr ? L"the user's script did not run: its items stay where they are"
                                              : L"the script did not run");
    const ProgramRun run = runProgram(shell(), commandLine(file.path()), account);
    return finishRun(run, token);
}

bool CommandScript::runInOwnAccount() {
    if (ran_ || items_.empty()) return items_.empty();
    ran_ = true;
    return runIn(tempFolder(), nullptr, nullptr);
}

bool CommandScript::runAsUserOf(const std::wstring& userSid, const std::vector<std::wstring>& images) {
    if (ran_ || items_.empty()) return items_.empty();
    ran_ = true;
    const UserAccount account(userSid, images, log_);
    if (!account.usable()) return settleUnrun(L"the user's script did not run: its items stay where they are");
    return runIn(account.tempFolder(), &account, account.token());
}

bool CommandScript::runForInstallingUser(const std::wstring& userSid) {
    if (!hasCommands()) return true;
    const std::wstring windows = knownWindowsFolder();
    return runAsUserOf(userSid, {concat({windows, L"\\system32\\msiexec.exe"}), concat({windows, L"\\SysWOW64\\msiexec.exe"})});
}

ScriptItem buildMoveCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                             DestinationFolder folder, ExistingTarget existing) {
    auto [from, leaf, target, arrived, text] = startCommands(source, destination, folder);
    if (part == SourcePart::Item) {
        // An item found where it goes and gone from where it was has arrived already (a
        // record written ahead names items that a run ended before moving, or after).
        text += concat({L"if not exist ", quote(from), L" if exist ", quote(arrived), L" exit /b 0\r\n"});
        // Whatever stands there now is newer than the item, and is kept as it is.
        if (existing == ExistingTarget::Refuse) text += concat({L"if exist ", quote(arrived), L" exit /b 1\r\n"});
        // The fallback copies a folder that move could not take across volumes, and
        // deletes the source only once the copy succeeded; a file never needs it (move
        // copies files across volumes itself).
        text += concat({L"move /Y ", quote(from), L" ", quote(target), L"\r\n"});
        text += concat({L"if exist ", quote(concat({from, L"\\*"})), L" ", xcopy(), L" /E /Y /K /H /I ", quote(from), L" ",
                        quote(arrived), L"\r\n"});
        text += deleteAfterCopy(from);
        text += concat({L"if exist ", quote(from), L" exit /b 1\r\n"});
        text += concat({L"if not exist ", quote(arrived), L" exit /b 1\r\nexit /b 0\r\n"});
        return {text, Arrival::Moved, from, arrived};
    }
    // Every entry, hidden ones included, is copied, and the source deleted only once the
    // copy succeeded; an empty source goes too.
    text += concat({L"if exist ", quote(concat({from, L"\\*"})), L" ", xcopy(), L" /E /Y /K /H /I ",
                    quote(concat({from, L"\\*"})), L" ", quote(target), L"\r\n"});
    text += deleteAfterCopy(from);
    text += concat({L"rmdir ", quote(from), L"\r\n"});
    text += concat({L"if exist ", quote(from), L" exit /b 1\r\nexit /b 0\r\n"});
    return {text, Arrival::Emptied, from, {}};
}

ScriptItem buildCopyCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                             DestinationFolder folder) {
    auto [from, leaf, target, arrived, text] = startCommands(source, destination, folder);
    if (part == SourcePart::Contents) {
        text += concat({xcopy(), L" /E /Y /K /H /I ", quote(concat({from, L"\\*"})), L" ", quote(target), L"\r\n"});
        return {concat({text, L"if errorlevel 1 exit /b 1\r\nexit /b 0\r\n"}), Arrival::Copied, from, target};
    }
    // xcopy asks whether a single file's new name is a file or a folder (and asks forever
    // when nobody answers): a file is copied into the folder instead.
    text += concat({L"if exist ", quote(concat({from, L"\\*"})), L" (", xcopy(), L" /E /Y /K /H /I ", quote(from), L" ",
                    quote(arrived), L") else (", xcopy(), L" /Y /K /H ", quote(from), L" ", quote(withBackslash(target)),
                    L")\r\n"});
    text += L"if errorlevel 1 exit /b 1\r\n";
    return {concat({text, L"if not exist ", quote(arrived), L" exit /b 1\r\nexit /b 0\r\n"}), Arrival::Copied, from,
            arrived};
}

}  // namespace tidewell
