#pragma once
// Temporary command scripts run by cmd.exe: the undo stores collect move commands for
// network items in one and run it in the account of the user whose msiexec.exe runs;
// whole local folders move through short scripts run at once in the installer's account.
#include <string>
#include <vector>

#include "common/log_sink.h"

namespace tidewell {

class UserScript {
public:
    // Creates an empty script "<temp>\{GUID}.bat"; the log may be null.
    explicit UserScript(const LogSink* log = nullptr);
    ~UserScript();  // deletes the script file, run or not
    UserScript(const UserScript&) = delete;
    UserScript& operator=(const UserScript&) = delete;

    // False (nothing appended) when the text cannot be written in the code page cmd.exe
    // reads scripts in, or the file cannot be written.
    bool append(const std::wstring& text);
    // True when append has put at least one command in.
    bool hasCommands() const { return commands_ > 0; }

    // Adds the self-deleting last line and runs the script with cmd.exe, waiting for it.
    // With a process list, it runs once under the account of the owner of every running
    // process whose image is in the list (SYSTEM excepted); without one, in the caller's
    // account. True when the script ran at least once.
    bool run(const std::vector<std::wstring>* processImages);

    const std::wstring& path() const { return path_; }

private:
    bool write(const std::wstring& text);

    const LogSink* log_;
    std::wstring path_;
    bool created_ = false;
    bool ran_ = false;
    int commands_ = 0;
};

// The text in the OEM code page, which cmd.exe reads script files in; false when a
// character has no place in it.
bool toScriptText(const std::wstring& text, std::string& bytes);

// Command texts (quoted paths, "\r\n" line ends). The parent is the source's parent
// folder with a trailing backslash, the leaf the rest of the source.
// Single item: moves the source into the destination folder (xcopy, del and rmdir as the
// fallback across volumes). Contents: moves every entry of the source folder into the
// destination. createDestination adds a "mkdir" line (single item only).
std::wstring buildMoveCommands(const std::wstring& source, const std::wstring& destination, bool contents,
                               bool createDestination);
std::wstring buildCopyCommands(const std::wstring& source, const std::wstring& destination, bool contents,
                               bool createDestination);

// Run at once in the caller's account, through a fresh script; when the commands cannot
// be written for cmd.exe, the move is done with the wide shell functions instead.
// True when the commands were carried out.
bool moveNow(const std::wstring& source, const std::wstring& destination, bool contents, bool createDestination,
             const LogSink* log);
bool copyNow(const std::wstring& source, const std::wstring& destination, bool contents, bool createDestination,
             const LogSink* log);

// "<Windows>\system32\msiexec.exe" and "<Windows>\SysWOW64\msiexec.exe".
std::vector<std::wstring> msiexecImages();

}  // namespace tidewell
