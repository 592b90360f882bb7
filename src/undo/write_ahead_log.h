#pragma once
// The record that an undoable removal keeps beside its journal ("<journal>.ahead"): it
// opens with the installation it belongs to, and gets one record per item before the
// item moves, appended, never rewritten. A run that ends without writing its journal can
// still be undone from it; a completed run keeps it as the mark of its installation.
//
//   text "TidewellWriteAhead1", text owner, then per item: text store key, text path,
//   text item folder (texts as in the journal: length, then UTF-16 units); a record with
//   an empty path names a store's location before the location is made
#include <map>
#include <string>

#include "common/unique_any.h"
#include "undo/journal_file.h"
#include "undo/undo_store.h"

namespace tidewell {

std::wstring writeAheadFile(const std::wstring& journal);

struct WriteAheadContents {
    std::wstring owner;
    // store key -> (path -> item folder), in the order written
    std::map<std::wstring, std::map<std::wstring, std::wstring>> items;
    // store key -> the location named before it was made (the last one written)
    std::map<std::wstring, std::wstring> locations;
};

class WriteAheadLog final : public WriteAhead {
public:
    // Creates the file new, protected, never through a link; false when it cannot (an
    // earlier one still there, or no access).
    bool create(const std::wstring& path, const std::wstring& owner);
    // Appends the item's record; false, with the error set, when it cannot, and for every
    // record after a write that failed.
    bool beforeItem(const UndoStore& store, const std::wstring& path, const std::wstring& item) override;
    // Written as a record with an empty path.
    bool beforeLocation(const UndoStore& store, const std::wstring& location) override;
    bool isOpen() const { return file_.is_valid(); }

private:
    bool append(const std::vector<unsigned char>& bytes);
    unique_hfile file_;
    DWORD failedWith_ = ERROR_SUCCESS;
};

// Reads the file as an interrupted run left it: a record cut short at the end is left
// out. Refused: a link, an owner that is not trusted, or a file that cannot be opened now
// (sharing); the error is set then.
ReadOutcome readWriteAhead(const std::wstring& path, WriteAheadContents& contents, DWORD& error);

}  // namespace tidewell
