#pragma once
// What every undo store of a transaction holds and writes into the journal: the items it
// took (both ways round), the next item number and its location (a folder for a file
// store, a registry key for the registry store).
#include <windows.h>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "undo/journal.h"
#include "win/command_script.h"
#include "common/log_sink.h"

namespace tidewell {

class UndoStore;

// Hears how a restore goes: each item as it is put back (or not), and each store that
// keeps on disk what it could not put back.
class RestoreReport {
public:
    // stored: where the store holds the item that came from the path.
    virtual void onItem(const UndoStore& store, const std::wstring& path, const std::wstring& stored,
                        bool restored) = 0;
    virtual void onStoreKept(const UndoStore& store) = 0;

protected:
    ~RestoreReport() = default;
};

// Where a store says, before an item moves, where it goes: an interrupted run can then
// still be undone. False when that could not be written (the item then stays).
class WriteAhead {
public:
    virtual bool beforeItem(const UndoStore& store, const std::wstring& path, const std::wstring& item) = 0;
    // Before the store's location (and its base) is made: a run ended right after leaves
    // nothing on disk that no record names.
    virtual bool beforeLocation(const UndoStore& store, const std::wstring& location) = 0;

protected:
    ~WriteAhead() = default;
};

// What a restore does when something stands at the item's place by then.
enum class RestoreTarget {
    KeepNewer,  // the item stays in the store (an undo never moves anything over newer files)
    Replace,    // files there are replaced, folders there receive the content (a backup's restore)
};

// How a copy into a store went. An item that does not exist, and a link (never followed,
// as links inside a copied tree are not), are no failure of the copy.
enum class Copied { Whole, Missing, Link, Failed };
struct KeptCopy {
    Copied result = Copied::Failed;
    DWORD error = ERROR_SUCCESS;  // for Failed: the Win32 error, where one is known
    bool whole() const { return result == Copied::Whole; }
};

class UndoStore {
public:
    // key: the store key it serves (a drive root, a share folder, "HKCU"); script and log
    // may be null (without a script, network items are refused).
    UndoStore(std::wstring key, CommandScript* script, const LogSink* log)
        : script_(script), log_(log), key_(std::move(key)) {}
    UndoStore(const UndoStore&) = delete;
    UndoStore& operator=(const UndoStore&) = delete;

    // Writes or reads (as the fields do) the journal members, in order: prepared, finishOnDestroy, storedOf, pathOf, counter, location.
    virtual void serialise(JournalFields& fields);
    virtual ~UndoStore() = default;
    // Moves the item into the store; true when the store holds it (or will, once the script runs).
    virtual bool take(const std::wstring& path) = 0;
    // Copies the item into the store, leaving it in place. A copy that is not whole is
    // deleted again and not recorded.
    virtual KeptCopy keepCopy(const std::wstring& path) = 0;
    // Puts the item that came from the path back; true when it is back (or scheduled).
    virtual bool restoreItem(const std::wstring& path) = 0;
    virtual bool discardItem(const std::wstring& path) = 0;
    // Every item back, in path order, each told to the report when there is one; true only
    // when each one came back.
    bool restoreAll(RestoreReport* report = nullptr);
    // Deletes what the store holds and its location.
    virtual bool finish() = 0;

    // The store's folder or key, made on first use; empty when it cannot be had.
    const std::wstring& location();
    // The location as recorded, without making one.
    const std::wstring& recordedLocation() const { return location_; }

    // Takes the state that a run left in its write-ahead record: an item whose record was
    // written but which never moved counts, when restored, as still in place.
    void adoptRecorded(const std::wstring& location, const std::map<std::wstring, std::wstring>& items);

    // Forgets the location and stops finishing on destruction: what the store holds stays.
    void keep();
    // Stops finishing on destruction only.
    void disarm() { finishOnDestroy_ = false; }
    // Finishes on destruction again (a store whose items wait in a journal for the next run).
    void rearm() { finishOnDestroy_ = true; }
    // A store whose finish failed: something of it is still on disk.
    void markUnfinished() { unfinished_ = true; }
    bool unfinished() const { return unfinished_; }
    void setScript(CommandScript* script) { script_ = script; }
    void setWriteAhead(WriteAhead* ahead) { ahead_ = ahead; }
    void setRestoreTarget(RestoreTarget target) { restoreTarget_ = target; }
    // True for a store whose items move through the network items' script.
    virtual bool isNetworkStore() const { return false; }

    // True when state read from a journal is state this library writes: both maps mirror
    // each other, every item is numbered below the store's location, and the location
    // has the shape of one of this store's locations.
    bool isConsistent() const;
    // True when the location read from a journal is still the library's own: checked on
    // disk by the stores that keep their items in folders.
    virtual bool hasTrustedLocation() const { return true; }

    const std::wstring& key() const { return key_; }
    bool prepared() const { return prepared_; }
    bool finishOnDestroy() const { return finishOnDestroy_; }
    const std::map<std::wstring, std::wstring>& storedOf() const { return storedOf_; }
    const std::map<std::wstring, std::wstring>& pathOf() const { return pathOf_; }
    std::int32_t counter() const { return counter_; }

protected:
    virtual std::wstring prepareLocation() = 0;
    virtual bool isStoreLocation(const std::wstring& location) const = 0;
    // The item number of a recorded item, given as the text that follows the location
    // and a backslash; -1 when the text is not the shape this store records. A file store
    // records the number alone.
    virtual long long itemNumber(const std::wstring& rest) const;

    // Records the next item under the path: "<location>\<n>", followed by a backslash and
    // the leaf when one is given; returns what was recorded.
    std::wstring record(const std::wstring& path, const std::wstring& leaf = {});
    void forget(const std::wstring& path);
    // Forgets every item: they went with the store's location.
    void forgetAll();
    // The recorded paths, copied: restoring and discarding forget items as they go.
    std::vector<std::wstring> storedPaths() const;

    CommandScript* script_;
    const LogSink* log_;
    WriteAhead* ahead_ = nullptr;
    RestoreTarget restoreTarget_ = RestoreTarget::KeepNewer;
    std::wstring key_;
    bool prepared_ = false;
    bool finishOnDestroy_ = true;
    bool unfinished_ = false;
    std::map<std::wstring, std::wstring> storedOf_;
    std::map<std::wstring, std::wstring> pathOf_;
    std::int32_t counter_ = 0;
    std::wstring location_;

    void logLine(const std::wstring& text) const {
        if (log_) log_->line(text);
    }
    void logLine(std::initializer_list<std::wstring_view> pieces) const {
        if (log_) log_->line(pieces);
    }
};

// True for "<base>\{GUID}" (base compared without regard to case): the shape of a store's
// location below one of its bases.
bool isGuidChildOf(const std::wstring& location, const std::wstring& base);

}  // namespace tidewell
