#include "win/command_script.h"

#include <windows.h>

#include "common/unique_any.h"
#include "win/folder_tree.h"
#include "win/guid_text.h"
#include "win/paths.h"
#include "win/user_process.h"

namespace tidewell {

namespace {

std::wstring windowsFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring(L"C:\\Windows");
}

std::wstring shell() { return windowsFolder() + L"\\system32\\cmd.exe"; }

// A path between double quotes; "%" is doubled, since a script would expand it.
std::wstring quote(const std::wstring& text) {
    std::wstring result = L"\"";
    for (wchar_t c : text) {
        result += c;
        if (c == L'%') result += L'%';
    }
    return result + L"\"";
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
        start.text = L"mkdir " + quote(start.target) + L"\r\n";
    }
    return start;
}

std::wstring withBackslash(std::wstring path) {
    ensureTrailingBackslash(path);
    return path;
}

// Whole folders and their contents move with the wide shell functions where a script
// cannot name them.
bool moveWithShell(const std::wstring& source, const std::wstring& destination, SourcePart part,
                   DestinationFolder folder) {
    if (folder == DestinationFolder::Create) makeFolderTree(destination);
    if (part == SourcePart::Item) return moveFileOrFolder(source, destination);
    WIN32_FIND_DATAW data;
    const unique_hfind search = findFirst(withBackslash(source) + L"*", data);
    if (!search) return true;
    bool all = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        all = moveFileOrFolder(withBackslash(source) + name, destination) && all;
    } while (::FindNextFileW(search.get(), &data));
    return all;
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

CommandScript::CommandScript(const LogSink* log) : log_(log) {
    path_ = tempFolder();
    ensureTrailingBackslash(path_);
    path_ += newGuidText() + L".bat";
    const unique_hfile file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    created_ = file.is_valid();
    if (!created_ && log_) log_->line(L"cannot create the script " + path_);
}

CommandScript::~CommandScript() { deleteFile(path_); }

bool CommandScript::write(const std::wstring& text) {
    std::string bytes;
    if (!toScriptText(text + L"\r\n", bytes)) return false;
    const unique_hfile file(
        ::CreateFileW(path_.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool CommandScript::append(const std::wstring& text) {
    if (!created_ || ran_) return false;
    if (!write(text)) {
        if (log_) log_->line(L"cannot write commands into the script for: " + text.substr(0, text.find(L'\r')));
        return false;
    }
    ++commands_;
    return true;
}

std::wstring CommandScript::prepareRun() {
    if (!created_ || ran_) return {};
    ran_ = true;
    // The script deletes itself last, so a second launch finds nothing to run.
    write(L"del " + quote(path_) + L" /Q /F");
    return quote(shell()) + L" /C " + quote(path_);
}

bool CommandScript::runInOwnAccount() {
    const std::wstring commandLine = prepareRun();
    return !commandLine.empty() && runAndWait(shell(), commandLine);
}

bool CommandScript::runAsOwnersOf(const std::vector<std::wstring>& processImages) {
    const std::wstring commandLine = prepareRun();
    return !commandLine.empty() && runAsImageOwners(shell(), commandLine, processImages, log_) > 0;
}

bool CommandScript::runForInstallingUsers() {
    if (!hasCommands()) return true;
    const std::wstring windows = windowsFolder();
    return runAsOwnersOf({windows + L"\\system32\\msiexec.exe", windows + L"\\SysWOW64\\msiexec.exe"});
}

std::wstring buildMoveCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                               DestinationFolder folder) {
    auto [parts, target, text] = startCommands(source, destination, folder);
    if (part == SourcePart::Item) {
        // The fallback copies a folder that move could not take across volumes; a file
        // never needs it (move copies files across volumes itself).
        text += L"pushd " + quote(parts.parent) + L"\r\n";
        text += L"move /Y " + quote(parts.leaf) + L" " + quote(target) + L"\r\n";
        text += L"if exist " + quote(parts.leaf + L"\\*") + L" (xcopy /E /Y /K /H /I " + quote(parts.leaf) + L" " +
                quote(withBackslash(target) + parts.leaf) + L" && del /Q /F /S " + quote(parts.leaf) +
                L" && rmdir /Q /S " + quote(parts.leaf) + L")\r\n popd \r\n";
        return text;
    }
    const std::wstring leaf2 = parts.leaf + L"\\*";
    std::wstring escapedLeaf = quote(parts.leaf);
    escapedLeaf = escapedLeaf.substr(1, escapedLeaf.size() - 2);
    text = L"pushd " + quote(parts.parent) + L"\r\n";
    text += L"for /f \"tokens=*\" %%a in ('dir /b /a " + quote(parts.leaf) + L" ') do move /Y \"%cd%\\" + escapedLeaf +
            L"\\%%a\" " + quote(target) + L"\r\n";
    text += L"xcopy /E /Y /K /H /I " + quote(leaf2) + L" " + quote(target) + L"\r\n";
    text += L"del /Q /F /S " + quote(leaf2) + L"\r\n rmdir /Q /S " + quote(leaf2) + L"\r\n popd \r\n";
    return text;
}

std::wstring buildCopyCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                               DestinationFolder folder) {
    auto [parts, target, text] = startCommands(source, destination, folder);
    if (part == SourcePart::Contents)
        return L"pushd " + quote(parts.parent) + L"\r\nxcopy /E /Y /K /H /I " + quote(parts.leaf + L"\\*") + L" " +
               quote(target) + L"\r\n\r\n popd \r\n";
    // xcopy asks whether a single file's new name is a file or a folder (and asks forever
    // when nobody answers): a file is copied into the folder instead.
    text += L"pushd " + quote(parts.parent) + L"\r\n";
    text += L"if exist " + quote(parts.leaf + L"\\*") + L" (xcopy /E /Y /K /H /I " + quote(parts.leaf) + L" " +
            quote(withBackslash(target) + parts.leaf) + L") else (xcopy /Y /K /H " + quote(parts.leaf) + L" " +
            quote(withBackslash(target)) + L")\r\n popd \r\n";
    return text;
}

bool moveNow(const std::wstring& source, const std::wstring& destination, SourcePart part, DestinationFolder folder,
             const LogSink* log) {
    std::wstring from = source;
    trueName(from);
    CommandScript script(log);
    if (!script.append(buildMoveCommands(from, destination, part, folder)))
        return moveWithShell(from, destination, part, folder);
    return script.runInOwnAccount();
}

bool copyNow(const std::wstring& source, const std::wstring& destination, SourcePart part, DestinationFolder folder,
             const LogSink* log) {
    std::wstring from = source;
    trueName(from);
    CommandScript script(log);
    if (!script.append(buildCopyCommands(from, destination, part, folder))) return false;
    return script.runInOwnAccount();
}

}  // namespace tidewell
