#include "move_files/move_record.h"

#include "common/text.h"
#include "undo/journal.h"
#include "undo/journal_file.h"
#include "undo/journal_folder.h"
#include "win/named_object.h"
#include "win/paths.h"
#include "win/tree_delete.h"

namespace tidewell {

namespace {
const wchar_t* const kMagic = L"TidewellMoves1";

// Destinations compared as the file system compares names.
std::wstring keyOf(const std::wstring& destination) {
    std::wstring key = destination;
    removeTrailingBackslash(key);
    if (!key.empty()) ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}
}  // namespace

MoveRecord::MoveRecord(const std::wstring& installation, const LogSink* log) : log_(log), owner_(installation) {
    const std::wstring journal = journalFor(installation, log);
    path_ = concat({parentFolder(journal), L"\\VUMV_", installation, L".tmp"});
}

bool MoveRecord::save() const {
    JournalWriter writer;
    std::wstring magic = kMagic, owner = owner_;
    std::map<std::wstring, std::wstring> made = made_;
    writer.text(magic);
    writer.text(owner);
    writer.textMap(made);
    return writeProtectedFile(path_, writer.bytes());
}

bool MoveRecord::add(const std::wstring& destination, const FileIdentity& made) {
    made_[keyOf(destination)] = identityText(made);
    if (save()) return true;
    const DWORD error = ::GetLastError();
    made_.erase(keyOf(destination));
    if (log_) log_->line({L"cannot write the move record ", path_, L" (error ", toDecimal(error), L")"});
    return false;
}

bool MoveRecord::load() {
    made_.clear();
    std::vector<unsigned char> bytes;
    DWORD error = ERROR_SUCCESS;
    const ReadOutcome read = readProtectedFile(path_, bytes, error);
    if (read == ReadOutcome::Missing) return false;
    if (read != ReadOutcome::Read) {
        if (log_) log_->line({L"the move record ", path_, L" is not read and is left in place (error ", toDecimal(error), L")"});
        return false;
    }
    JournalReader reader(bytes);
    std::wstring magic, owner;
    std::map<std::wstring, std::wstring> made;
    reader.text(magic);
    reader.text(owner);
    reader.textMap(made);
    if (reader.failed() || !reader.atEnd() || magic != kMagic || owner != owner_) {
        if (log_) log_->line({L"the move record ", path_, L" is damaged; it is ignored"});
        return false;
    }
    made_ = std::move(made);
    return true;
}

std::optional<FileIdentity> MoveRecord::madeAt(const std::wstring& destination) const {
    const auto found = made_.find(keyOf(destination));
    if (found == made_.end()) return std::nullopt;
    return parseIdentity(found->second);
}

void MoveRecord::remove() {
    made_.clear();
    deleteTree(path_, nullptr);
    deleteTree(pendingFile(path_), nullptr);
}

}  // namespace tidewell
