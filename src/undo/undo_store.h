#pragma once
// What every undo store of a transaction holds and writes into the journal: the items it
// took (both ways round), the next item number and its store folder.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "undo/journal.h"
#include "win/user_script.h"
#include "common/log_sink.h"

namespace tidewell {

class UndoStore {
public:
    // key: the store key it serves (a drive root, a share folder, "HKCU"); script and log
    // may be null (without a script, network items are refused).
    UndoStore(std::wstring key, UserScript* script, const LogSink* log)
        : script_(script), log_(log), key_(std::move(key)) {}
    UndoStore(const UndoStore&) = delete;
    UndoStore& operator=(const UndoStore&) = delete;

    // Writes or reads (as the fields do) the journal members, in order: prepared, finishOnDestroy, storedOf, pathOf, counter, folder.
    virtual void serialise(JournalFields& fields);
    virtual ~UndoStore() = default;
    // Moves the item into the store; true when the store holds it (or will, once the script runs).
    virtual bool take(const std::wstring& path) = 0;
    // Copies the item into the store, leaving it in place.
    virtual bool keepCopy(const std::wstring& path) = 0;
    // Puts the item that came from the path back; true when it is back (or scheduled).
    virtual bool restoreItem(const std::wstring& path) = 0;
    virtual bool discardItem(const std::wstring& path) = 0;
    // Every item back, in path order; true only when each one came back.
    bool restoreAll();
    // Deletes what the store holds and its folder.
    virtual bool finish() = 0;

    // The store folder, made on first use; empty when it cannot be had.
    const std::wstring& folder();
    // The folder as recorded, without making one.
    const std::wstring& recordedFolder() const { return folder_; }

    // Forgets the folder and stops finishing on destruction: what the store holds stays.
    void keep();
    // Stops finishing on destruction only.
    void disarm() { finishOnDestroy_ = false; }
    void setScript(UserScript* script) { script_ = script; }

    // True when state read from a journal is state this library writes: both maps mirror
    // each other, every item folder is a numbered folder of the store folder, and the
    // store folder has the shape of one of this store's folders.
    bool isConsistent() const;

    const std::wstring& key() const { return key_; }
    bool prepared() const { return prepared_; }
    bool finishOnDestroy() const { return finishOnDestroy_; }
    const std::map<std::wstring, std::wstring>& storedOf() const { return storedOf_; }
    const std::map<std::wstring, std::wstring>& pathOf() const { return pathOf_; }
    std::int32_t counter() const { return counter_; }

protected:
    virtual std::wstring prepareFolder() = 0;
    virtual bool isStoreFolder(const std::wstring& folder) const = 0;
    // The item number of a recorded item, given as the text that follows the store folder
    // and a backslash; -1 when the text is not the shape this store records. A file store
    // records the number alone.
    virtual long long itemNumber(const std::wstring& rest) const;

    // Records the next item under the path: "<folder>\<n>", followed by a backslash and
    // the leaf when one is given; returns what was recorded.
    std::wstring record(const std::wstring& path, const std::wstring& leaf = {});
    void forget(const std::wstring& path);
    // The recorded paths, copied: restoring and discarding forget items as they go.
    std::vector<std::wstring> storedPaths() const;

    UserScript* script_;
    const LogSink* log_;
    std::wstring key_;
    bool prepared_ = false;
    bool finishOnDestroy_ = true;
    std::map<std::wstring, std::wstring> storedOf_;
    std::map<std::wstring, std::wstring> pathOf_;
    std::int32_t counter_ = 0;
    std::wstring folder_;

    void logLine(const std::wstring& text) const {
        if (log_) log_->line(text);
    }
};

// A folder name inside the store folder: "<base>\{GUID}" where base is one of the bases.
bool isGuidFolderOf(const std::wstring& folder, const std::wstring& base);

}  // namespace tidewell
