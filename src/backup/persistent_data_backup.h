#pragma once
// The backup of persistent data: the items of a work list are copied into the stores of
// an undo transaction, and its journal is kept as the backup file
// "<temp>\VuBack_<product code>.bak". A later restore puts every copy back over what
// stands there by then; a discard throws the copies away. Both delete the copies and the
// backup file. A product has one backup at a time: the next backup replaces the file.
#include <windows.h>
#include <msi.h>
#include <string>
#include <vector>

#include "msi/action_data.h"
#include "msi/action_log.h"
#include "backup/persistent_rows.h"

namespace tidewell {

// "VuBack_" + the product code without its braces, "-" as "_", + ".bak". Characters
// that cannot stand in a file name become "_".
std::wstring backupFileName(const std::wstring& productCode);

class PersistentDataBackup {
public:
    // Names the backup file after the session's ProductCode, in the temporary folder of
    // the running account.
    explicit PersistentDataBackup(const ActionLog& log);

    // Takes the items (records of exactly four fields in group 0) and ALLUSERS (group 1).
    // A list without exactly two groups gives no items.
    void load(const ActionData& workList);
    // Takes items read in this process, with the value of ALLUSERS.
    void take(std::vector<PersistentItem> items, std::wstring allUsers);
    // Copies every item into the stores, then writes the backup file; true when every
    // item that exists was copied whole and the file was written. Otherwise nothing is
    // left changed: the copies made are deleted and no backup file is written (an earlier
    // one stays). No items: nothing is copied and no file is written. An item that several
    // rows name is copied once.
    bool backUp();
    // Puts every copy back, then deletes the copies and the backup file.
    void restore();
    // Deletes the copies and the backup file.
    void discard();

    const std::wstring& backupFile() const { return backupFile_; }
    // The journal of a backup while it copies ("<backup file>.partial"): renamed to the
    // backup file once every copy is made. One left by a run that ended while copying
    // names copies that are deleted, never restored.
    std::wstring partialFile() const { return backupFile_ + L".partial"; }
    const std::wstring& allUsers() const { return allUsers_; }
    const std::vector<PersistentItem>& items() const { return items_; }

private:
    // The full path to copy for an item: the root number rewritten, trailing backslashes
    // dropped; empty (and logged) when the item cannot be backed up.
    std::wstring itemPath(const PersistentItem& item) const;
    // False, logged, when the files to copy do not fit on the volume that keeps the copies.
    bool roomForCopies(const std::vector<std::wstring>& paths) const;
    // How the copies end: put back first, or only deleted.
    enum class Ending { Restore, Discard };
    void release(Ending ending);
    // Deletes the copies of a backup that ended while copying.
    void discardPartial();

    const ActionLog& log_;
    std::wstring backupFile_;
    std::wstring allUsers_;
    std::vector<PersistentItem> items_;
};

}  // namespace tidewell
