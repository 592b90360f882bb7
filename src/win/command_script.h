#pragma once
// Temporary command scripts run by cmd.exe: the undo stores collect move commands for
// network items in one and run it in the account of the user who installs; whole local
// folders move through short scripts run at once in the installer's own account. Which
// account a script runs in is the name of the method that runs it. Every item's
// commands end by telling whether the item arrived, and only then does the caller
// forget or delete anything.
#include <functional>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "win/tree_move.h"
#include "win/user_process.h"

namespace tidewell {

// One item's part of a script: its commands, which end by telling whether the item
// arrived (the builders below end so), and who hears the answer after the run.
using ArrivalReport = std::function<void(bool arrived)>;

class CommandScript {
public:
    // Collects items; the log may be null.
    explicit CommandScript(const LogSink* log = nullptr);
    ~CommandScript();  // deletes the script file if a run left it
    CommandScript(const CommandScript&) = delete;
    CommandScript& operator=(const CommandScript&) = delete;

    // Adds one item's commands (a text from the builders below). False (nothing added,
    // nothing reported) when the text cannot be written in the code page cmd.exe reads
    // scripts in. The report hears during the run whether the item arrived; an item the
    // script did not confirm, or a script that did not run, counts as not arrived.
    bool add(const std::wstring& commands, ArrivalReport report);
    // True when at least one item was added.
    bool hasCommands() const { return !items_.empty(); }

    // Each run writes the script, runs it with "cmd /D /V:OFF" and waits, reads its exit
    // status and which items arrived, tells every report and deletes the script. A
    // script runs once at most. True when every item arrived (or there were none).
    // In the account this process runs in (the installer's own).
    bool runInOwnAccount();
    // In the account of the user whose SID is given, as found by UserAccount among the
    // running processes of the images; the script is written into that user's temporary
    // folder while acting as the user, and one the user cannot write and read back
    // there does not run.
    bool runAsUserOf(const std::wstring& userSid, const std::vector<std::wstring>& images);
    // The network items' script: runs as the installing user (the installation's
    // UserSID) through their running msiexec.exe, since the installer's account may not
    // reach their shares.
    bool runForInstallingUser(const std::wstring& userSid);

    // The script's path once a run has chosen it.
    const std::wstring& path() const { return path_; }

private:
    struct Item {
        std::wstring commands;
        ArrivalReport report;
    };
    std::wstring scriptText() const;
    bool writeScript(const std::wstring& folder);
    bool finishRun(const ProgramRun& run);
    bool settleUnrun(const std::wstring& why);

    const LogSink* log_;
    std::vector<Item> items_;
    std::wstring path_;
    bool ran_ = false;
};

// The text in the OEM code page, which cmd.exe reads script files in; false when a
// character has no place in it.
bool toScriptText(const std::wstring& text, std::string& bytes);

// What a move or copy takes from the source: the item itself (file or folder), or every
// entry of the source folder.
enum class SourcePart { Item, Contents };
// Whether the commands make the destination folder first.
enum class DestinationFolder { Existing, Create };

// Command texts (quoted paths, "\r\n" line ends) for one item of a script. The parent
// is the source's parent folder with a trailing backslash, the leaf the rest of the
// source. They go into the parent ("pushd", and leave the item with status 1 when it
// cannot be entered) and end with a check: status 0 only when the item has arrived.
// Item: moves the source into the destination folder (xcopy, then the deletion of the
// source once xcopy succeeded, as the fallback across volumes); arrived when the source
// is gone and the destination holds the leaf. Contents: moves every entry of the source
// folder into the destination, the same fallback for what is left, and removes the
// emptied source; arrived when the source is gone. A copy has arrived when the
// destination holds the leaf. DestinationFolder::Create adds a "mkdir" line.
// ExistingTarget::Refuse leaves an item (and the source) alone when something of its
// name stands in the destination already; Replace moves and copies over it.
std::wstring buildMoveCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                               DestinationFolder folder, ExistingTarget existing);
std::wstring buildCopyCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                               DestinationFolder folder);

}  // namespace tidewell
