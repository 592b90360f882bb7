#pragma once
// Temporary command scripts run by cmd.exe: the undo stores collect move commands for
// network items in one and run it in the account of the user who installs; whole local
// folders move through short scripts run at once in the installer's own account. Which
// account a script runs in is the name of the method that runs it. After the run the
// library looks at each item itself, in the script's account, and only an item it sees
// where it should be counts as arrived: whatever the script says or its status.
#include <functional>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "win/tree_move.h"
#include "win/user_process.h"

namespace tidewell {

// Who hears after the run whether an item arrived.
using ArrivalReport = std::function<void(bool arrived)>;

// What shows that an item arrived: a move's source is gone and its leaf stands in the
// destination; a move of a folder's contents has emptied the source away; a copy holds
// every entry of the source at its size (sameTree).
enum class Arrival { Moved, Emptied, Copied };

// One item's part of a script: its commands (from the builders below) and what the
// library looks at afterwards.
struct ScriptItem {
    std::wstring commands;
    Arrival arrival = Arrival::Moved;
    std::wstring source;
    std::wstring arrived;  // Moved, Copied: where the item stands once it has arrived
};

class CommandScript {
public:
    // Collects items; the log may be null.
    explicit CommandScript(const LogSink* log = nullptr);
    CommandScript(const CommandScript&) = delete;
    CommandScript& operator=(const CommandScript&) = delete;

    // Adds one item (from the builders below). False (nothing added, nothing reported)
    // when its commands cannot be written in the code page cmd.exe reads scripts in. The
    // report hears after the run whether the item arrived; an item the library does not
    // see arrived, or a script that did not run, counts as not arrived.
    bool add(const ScriptItem& item, ArrivalReport report);
    // True when at least one item was added.
    bool hasCommands() const { return !items_.empty(); }

    // Each run writes the script (ScriptFile), runs it with "cmd /D /V:OFF" and waits
    // (runProgram: its processes in a job, its output bounded), looks at which items
    // arrived, tells every report and deletes the script. A script runs once at most.
    // True when every item arrived (or there were none).
    // In the account this process runs in (the installer's own).
    bool runInOwnAccount();
    // In the account of the user whose SID is given, as found by UserAccount among the
    // running processes of the images; the script is written into that user's temporary
    // folder, the items looked at and the script deleted while acting as the user, and
    // one the user cannot write and read back there does not run.
    bool runAsUserOf(const std::wstring& userSid, const std::vector<std::wstring>& images);
    // The network items' script: runs as the installing user (the installation's
    // UserSID) through their running msiexec.exe, since the installer's account may not
    // reach their shares.
    bool runForInstallingUser(const std::wstring& userSid);

private:
    struct Item {
        ScriptItem item;
        ArrivalReport report;
    };
    std::wstring scriptText() const;
    bool runIn(const std::wstring& folder, const UserAccount* account, HANDLE token);
    bool finishRun(const ProgramRun& run, HANDLE token);
    void logRun(const ProgramRun& run, size_t arrived) const;
    bool settleUnrun(const std::wstring& why);

    const LogSink* log_;
    std::vector<Item> items_;
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

// Items of a script: command texts (quoted full paths, "\r\n" line ends) that never
// change the current folder and call every program by its full path in the system folder
// (nothing planted beside an item runs), ending with status 0 only when the item has
// arrived, and what the library looks at afterwards. The leaf is the last component of
// the source. Item: moves the source into the destination folder (xcopy, then the
// deletion of the source once xcopy succeeded, as the fallback across volumes); Moved.
// Contents: copies every entry of the source folder into the destination and deletes the
// source once the copy succeeded; Emptied. A copy is Copied (of the leaf, or of the
// folder's entries into the destination). DestinationFolder::Create adds a "mkdir" line.
// ExistingTarget::Refuse leaves an item (and the source) alone when something of its
// name stands in the destination already; Replace moves and copies over it.
ScriptItem buildMoveCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                             DestinationFolder folder, ExistingTarget existing);
ScriptItem buildCopyCommands(const std::wstring& source, const std::wstring& destination, SourcePart part,
                             DestinationFolder folder);

}  // namespace tidewell
