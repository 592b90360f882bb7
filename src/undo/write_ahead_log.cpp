#include "undo/write_ahead_log.h"

#include "common/text.h"
#include "undo/journal.h"
#include "undo/journal_file.h"
#include "win/fault_seam.h"
#include "win/paths.h"
#include "win/protected_security.h"

namespace tidewell {

namespace {
const wchar_t* const kMagic = L"TidewellWriteAhead1";
}  // namespace

std::wstring writeAheadFile(const std::wstring& journal) { return concat({journal, L".ahead"}); }

bool WriteAheadLog::create(const std::wstring& path, const std::wstring& owner) {
    ProtectedSecurity security;
    if (security.attributes() == nullptr || seamFails(SeamCall::Create)) return false;
    file_.reset(::CreateFileW(extendedPath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, security.attributes(),
                              CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file_) return false;
    JournalWriter writer;
    std::wstring magic = kMagic, who = owner;
    writer.text(magic);
    writer.text(who);
    if (append(writer.bytes())) return true;
    file_.reset();
    return false;
}

bool WriteAheadLog::beforeItem(const UndoStore& store, const std::wstring& path, const std::wstring& item) {
    if (!file_) return false;
    JournalWriter writer;
    std::wstring key = store.key(), from = path, to = item;
    writer.text(key);
    writer.text(from);
    writer.text(to);
    return append(writer.bytes());
}

bool WriteAheadLog::beforeLocation(const UndoStore& store, const std::wstring& location) {
    if (!file_) return false;
    JournalWriter writer;
    std::wstring key = store.key(), none, where = location;
    writer.text(key);
    writer.text(none);
    writer.text(where);
    return append(writer.bytes());
}

bool WriteAheadLog::append(const std::vector<unsigned char>& bytes) {
    // Nothing more is appended after a write that failed: a reader stops at the record
    // it may have cut short, and the items of later records would be named nowhere.
    if (failedWith_ == ERROR_SUCCESS) {
        DWORD written = 0;
        const BOOL wrote = seamWriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written);
        if (wrote && written == bytes.size()) return true;
        failedWith_ = wrote || ::GetLastError() == ERROR_SUCCESS ? static_cast<DWORD>(ERROR_DISK_FULL) : ::GetLastError();
    }
    ::SetLastError(failedWith_);
    return false;
}

ReadOutcome readWriteAhead(const std::wstring& path, WriteAheadContents& contents, DWORD& error) {
    std::vector<unsigned char> bytes;
    const ReadOutcome read = readProtectedFile(path, bytes, error);
    if (read != ReadOutcome::Read) return read;
    JournalReader reader(bytes);
    std::wstring magic;
    reader.text(magic);
    reader.text(contents.owner);
    if (reader.failed() || magic != kMagic) return ReadOutcome::Damaged;
    while (!reader.atEnd()) {
        std::wstring key, from, to;
        reader.text(key);
        reader.text(from);
        reader.text(to);
        if (reader.failed()) break;  // the last record was being written when the run ended
        if (from.empty()) contents.locations[key] = to;
        else contents.items[key][from] = to;
    }
    return ReadOutcome::Read;
}

}  // namespace tidewell
