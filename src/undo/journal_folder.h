#pragma once
// Where the undoable removal keeps each installation's journal and write-ahead record:
// a folder of the library's own below the Windows folder's "Installer" folder, which
// only SYSTEM and Administrators can write, under a name of the installation's own.
// Journals that earlier versions wrote under one fixed name in the temporary folder are
// still found and read there.
#include <string>

#include "common/log_sink.h"

namespace tidewell {

// The journal of the installation (its ProductCode) for a run that writes one: in the
// journal folder, made when missing; in the temporary folder, as earlier versions had
// it, when that folder cannot be made or is not the library's own (the log says why).
std::wstring journalFor(const std::wstring& installation, const LogSink* log);

// The journal a rollback, commit or later run reads: the installation's own (in the
// journal folder, or in the temporary folder where a run had to put it) when it or its
// write-ahead record or leftover record is there, else the fixed-name journal of earlier
// versions when one is there, else the installation's own name in the journal folder.
std::wstring existingJournalFor(const std::wstring& installation);

// The folder, with a trailing backslash, without making or checking it.
std::wstring journalFolderPath();

// The journal's file name for the installation (its ProductCode).
std::wstring journalName(const std::wstring& installation);

// Whether the folder stands and is the library's own (a real folder, owned and writable
// by trusted accounts only); nothing is made.
bool journalFolderIsTrusted();

}  // namespace tidewell
