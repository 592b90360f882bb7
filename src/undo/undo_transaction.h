#pragma once
// An undoable removal spread over separate actions: the deferred action moves items into
// per-drive stores and writes the journal "VUBB_id1f2e3d4b5a.tmp" into the temporary
// folder; the commit action reads it and deletes the stores, the rollback action reads
// it and puts everything back.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "undo/file_undo_store.h"
#include "undo/registry_undo_store.h"
#include "undo/write_ahead_log.h"
#include "win/removal_sink.h"

namespace tidewell {

inline constexpr const wchar_t* kJournalName = L"VUBB_id1f2e3d4b5a.tmp";

// The fixed-name journal that earlier versions kept in the temporary folder of the running
// account (the undoable removal now keeps one per installation: undo/journal_folder.h).
std::wstring journalFile();
// Where a commit or discard that could not delete everything names what is left
// ("<journal>.leftover"): not the journal itself, so that the next run can begin its own.
std::wstring leftoverFile(const std::wstring& journal);

class UndoTransaction final : public RemovalSink {
public:
    // A file store for every drive root and the registry store "HKCU". Script and log may
    // be null; without a script, network items are refused. The journal file is the
    // removal journal unless another is given (the backup keeps its own).
    explicit UndoTransaction(CommandScript* script, const LogSink* log = nullptr, std::wstring journal = journalFile());
    // While active: finishes every store and deletes its journal file. When an exception ends
    // the transaction's scope instead, the journal is saved and the stores are kept, so
    // that an undo can still put everything back.
    ~UndoTransaction() override;
    UndoTransaction(const UndoTransaction&) = delete;
    UndoTransaction& operator=(const UndoTransaction&) = delete;

    // The store of the path's drive, share or registry, then its take / keepCopy; false
    // when the path has no store.
    bool take(const std::wstring& path) override;
    KeptCopy keepCopy(const std::wstring& path);

    // Starts the write-ahead record beside the journal, naming the installation (its
    // product code); from then on no item moves before its record is written, and an item
    // whose record cannot be written stays in place. False when the record cannot be made.
    bool beginWriteAhead(const std::wstring& owner);
    // From here on the journal is written before every item is copied or taken, marked as
    // not finished: a run that ends in the middle leaves a journal whose items the next
    // run deletes, never puts back (the backup, which has no write-ahead record).
    void saveJournalBeforeEachItem();
    // The installation whose journal this transaction may load: a journal whose write-ahead
    // record names another one is left alone. Empty: any.
    void setOwner(std::wstring owner) { owner_ = std::move(owner); }
    // What every store does when something stands at an item's place by then.
    void setRestoreTarget(RestoreTarget target);
    // Writes the journal new (the write-ahead record stays as the mark of its
    // installation); true when all its bytes were written.
    bool saveJournal();
    // Replaces the stores by the journal's, or, when a run ended before writing it, by its
    // write-ahead record's; true when one was read. A journal that is not one this library
    // wrote loads as no stores and is deleted with the transaction; one that cannot be
    // read now, is a link, has an untrusted owner or belongs to another installation is
    // left where it is.
    bool loadJournal();
    // True when a journal or a write-ahead record stands at the journal's place.
    bool journalExists() const;
    // Deletes what an earlier commit or discard of this journal could not delete (its
    // leftover file); loadJournal does this first.
    void finishLeftovers();
    // Ends the transaction without touching the disk: stores and journal stay.
    void keep();
    // Ends the transaction by deleting what its stores hold, then its journal file: a run
    // that must leave no trace of itself. What cannot be deleted stays named by the
    // journal, for the next run to delete.
    void discardStores();
    // Every store puts every item back, file stores first; a store that could not keeps
    // what it holds on disk. The report hears of each item and each kept store; without
    // one, a kept file store is logged.
    bool restoreAll(RestoreReport* report = nullptr);
    // How many items the stores hold.
    size_t itemCount() const;

    // The journal as bytes, and the reverse.
    std::vector<unsigned char> journalBytes();
    bool readJournal(const std::vector<unsigned char>& bytes);

    bool active() const { return active_; }
    const std::wstring& journal() const { return journal_; }
    const std::map<std::wstring, std::unique_ptr<FileUndoStore>>& fileStores() const { return fileStores_; }
    const std::map<std::wstring, std::unique_ptr<RegistryUndoStore>>& registryStores() const { return registryStores_; }

private:
    using FileStores = std::map<std::wstring, std::unique_ptr<FileUndoStore>>;
    using RegistryStores = std::map<std::wstring, std::unique_ptr<RegistryUndoStore>>;

    UndoStore* storeFor(const std::wstring& path);
    void clearStores();
    void logLine(const std::wstring& text) const {
        if (log_) log_->line(text);
    }
    void logLine(std::initializer_list<std::wstring_view> pieces) const {
        if (log_) log_->line(pieces);
    }

    bool readWriteAheadStores(const WriteAheadContents& contents);
    // The journal as it stands, marked as not finished.
    bool saveUnfinishedJournal();
    class UnfinishedJournal final : public WriteAhead {
    public:
        explicit UnfinishedJournal(UndoTransaction& transaction) : transaction_(transaction) {}
        bool beforeItem(const UndoStore&, const std::wstring&, const std::wstring&) override {
            return transaction_.saveUnfinishedJournal();
        }
        bool beforeLocation(const UndoStore&, const std::wstring&) override {
            return transaction_.saveUnfinishedJournal();
        }

    private:
        UndoTransaction& transaction_;
    };
    // At the end: items that could not be put back or deleted are named in the leftover
    // file, so that the next run takes them up. NotRecorded: that file could not be
    // written, and the journal and its record must stay as they are.
    enum class Remaining { None, Recorded, NotRecorded };
    Remaining keepRemainingItems();
    // Deletes the write-ahead record and then the journal, whose items are done or named in
    // the leftover file; when either stays, the journal is written again naming nothing.
    void retireJournal();
    void attach(UndoStore& store);
    // Whether every file store's location is still the library's own; when not, the
    // journal and its record are kept and nothing of them is acted on.
    bool storesAreTrusted(const FileStores& stores);

    CommandScript* script_;
    const LogSink* log_;
    std::wstring journal_;
    std::wstring owner_;
    WriteAheadLog ahead_;
    UnfinishedJournal unfinished_{*this};
    bool journalBeforeEachItem_ = false;
    RestoreTarget restoreTarget_ = RestoreTarget::KeepNewer;
    bool keepFiles_ = false;
    bool untrustedStore_ = false;
    // Set by restoreAll: what the stores still hold at the end waits to be put back;
    // otherwise it waits to be deleted.
    bool restoring_ = false;
    // Read from a journal whose items wait to be deleted, never put back.
    bool deleteOnly_ = false;
    bool active_ = true;
    int uncaughtAtStart_;
    FileStores fileStores_;
    RegistryStores registryStores_;
};

// The store key of a path: "HKCU" for a path that begins with a root's long name (see
// namedRoot), the parent folder of a share path,
// the drive root otherwise; empty for a path that is neither.
std::wstring storeKey(const std::wstring& path);

}  // namespace tidewell
