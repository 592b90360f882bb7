#include "undo/journal_folder.h"

#include <windows.h>

#include "common/text.h"
#include "undo/undo_transaction.h"
#include "undo/write_ahead_log.h"
#include "win/named_object.h"
#include "win/paths.h"
#include "win/protected_security.h"

namespace tidewell {

std::wstring journalName(const std::wstring& installation) {
    return installation.empty() ? std::wstring(kJournalName) : concat({L"VUBB_", installation, L".tmp"});
}

namespace {

bool isTrustedFolder(const NamedObject& opened) {
    return opened.kind == Named::Object && opened.isFolder() && isTrustedObject(opened.handle.get());
}

// Made with the protected DACL when missing; when standing, used only while it is a real
// folder that a trusted account owns and only trusted accounts can change.
bool usableJournalFolder(const std::wstring& folder, const LogSink* log) {
    ProtectedSecurity security;
    createFolder(parentFolder(folder));
    if (security.attributes() != nullptr) createFolder(folder, security.attributes());
    const NamedObject opened = openNamed(folder, READ_CONTROL);
    if (isTrustedFolder(opened)) return true;
    if (log) {
        std::wstring why;
        if (opened.kind == Named::Link || opened.kind == Named::FollowedLink) why = L"it is a link";
        else if (opened.kind == Named::Object) why = L"it is not the library's own (owner or access)";
        else why = concat({L"it cannot be made (error ", toDecimal(opened.error), L")"});
        log->line({L"journal folder ", folder, L" not used: ", why, L"; the journal goes into the temporary folder"});
    }
    return false;
}

bool anyRecordAt(const std::wstring& journal) {
    for (const auto& file : {journal, writeAheadFile(journal), leftoverFile(journal)})
        if (fileAttributes(file) != INVALID_FILE_ATTRIBUTES || isLink(file)) return true;
    return false;
}

}  // namespace

std::wstring journalFolderPath() {
    const std::wstring windows = windowsFolder();
    return windows.empty() ? std::wstring() : concat({windows, L"\\Installer\\Tidewell\\"});
}

bool journalFolderIsTrusted() {
    const std::wstring folder = journalFolderPath();
    return !folder.empty() && isTrustedFolder(openNamed(folder.substr(0, folder.size() - 1), READ_CONTROL));
}

std::wstring journalFor(const std::wstring& installation, const LogSink* log) {
    const std::wstring folder = journalFolderPath();
    if (!folder.empty() && usableJournalFolder(folder.substr(0, folder.size() - 1), log))
        return folder + journalName(installation);
    return tempFolder() + journalName(installation);
}

std::wstring existingJournalFor(const std::wstring& installation) {
    const std::wstring folder = journalFolderPath();
    const std::wstring own = (folder.empty() ? tempFolder() : folder) + journalName(installation);
    for (const std::wstring& candidate : {own, tempFolder() + journalName(installation), tempFolder() + kJournalName})
        if (anyRecordAt(candidate)) return candidate;
    // Nothing to read: the folder is neither made nor checked for that.
    return own;
}

}  // namespace tidewell
