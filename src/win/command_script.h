#pragma once
// Temporary command scripts run by cmd.exe: the undo stores collect move commands for
// network items in one and run it in the account of the user whose msiexec.exe runs;
// whole local folders move through short scripts run at once in the installer's own
// account. Which account a script runs in is the name of the method that runs it.
#include <string>
#include <vector>

#include "common/log_sink.h"

namespace tidewell {

class CommandScript {
public:
    // Creates an empty script "<temp>\{GUID}.bat"; the log may be null.
    explicit CommandScript(const LogSink* log = nullptr);
    ~CommandScript();  // deletes the script file, run or not
    CommandScript(const CommandScript&) = delete;
    CommandScript& operator=(const CommandScript&) = delete;

    // False (nothing appended) when the text cannot be written in the code page cmd.exe
    // reads scripts in, or the file cannot be written.
    bool append(const std::wstring& text);
    // True when append has put at least one command in.
    bool hasCommands() const { return commands_ > 0; }

    // Each run adds the self-deleting last line and runs the script with cmd.exe, waiting
    // for it; a script runs once at most.
    // In the account this process runs in (the installer's own); true when it ran.
    bool runInOwnAccount();
    // Once under the account of the owner of every running process whose image is in the
    // list (SYSTEM excepted); true when it ran at least once.
    bool runAsOwnersOf(const std::vector<std::wstring>& processImages);
    // The network items' script: when commands were appended, runs it as the owners of the
    // running msiexec.exe processes (the users who install), since the installer's
    // account may not reach their shares. True when there was nothing to run or it ran
    // at least once.
    bool runForInstallingUsers();

    const std::wstring& path() const { return path_; }

private:
    bool write(const std::wstring& text);
    // Adds the last line and gives the command line that runs the script; empty when the
    // script cannot run (never created, or run already).
    std::wstring prepareRun();

    const LogSink* log_;
    std::wstring path_;
    bool created_ = false;
    bool ran_ = false;
    int commands_ = 0;
};

// The text in the OEM code page, which cmd.exe reads script files in; false when a
// character has no place in it.
bool toScriptText(const std::wstring& text, std::string& bytes);

// What a move or copy takes from the source: the item itself (file or folder), or every
// entry of the source folder.
enum class SourcePart { Item, Contents };
// Whether the commands make the destination folder first.
enum class DestinationFolder { Existing, Create };

// Command texts (quoted paths, "\r\n" line ends). The parent is the source's parent
// folder with a trailing backslash, the leaf the rest of the source.
// Item: moves the source into the destination folder (xcopy, del and rmdir as the
// fallback across volumes). Contents: moves every entry of the source folder into the
// destination. DestinationFolder::Create adds a "mkdir" line (item only).
std::wstring buildMoveCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                               DestinationFolder folder);
std::wstring buildCopyCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                               DestinationFolder folder);

// Run at once in the installer's own account, through a fresh script; when the commands
// cannot be written for cmd.exe, the move is done with the wide shell functions instead.
// True when the commands were carried out.
bool moveNow(const std::wstring& source, const std::wstring& destination, SourcePart part, DestinationFolder folder,
             const LogSink* log);
bool copyNow(const std::wstring& source, const std::wstring& destination, SourcePart part, DestinationFolder folder,
             const LogSink* log);

}  // namespace tidewell
