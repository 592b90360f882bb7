#pragma once
// The deferred half of registry removal: reads the work list that
// OnVuRemoveRegsImmediate scheduled and removes each key tree or value, sending one
// progress message per entry. Nothing is kept for rollback: a removal, once made,
// stays, which is why it is scheduled at commit time whenever rollback is enabled.
#include <windows.h>
#include <msi.h>
#include <map>
#include <string>

#include "msi/action_data.h"
#include "msi/action_log.h"
#include "msi/progress_reporter.h"
#include "remove_registry/registry_removal_record.h"
#include "win/registry_key.h"

namespace tidewell {

// Keyed by the RemoveRegistry row; the first record of a key wins.
using RegistryRemovalList = std::map<std::wstring, RegistryRemovalRecord>;

class RegistryRemover {
public:
    explicit RegistryRemover(const ActionLog& log) : log_(log), progress_(log.installer()) {}

    // Fills the list from a parsed work list (row group, then the ALLUSERS group). A
    // work list of another shape loads nothing; records of another length are skipped.
    void load(const ActionData& data);
    // Processes every entry; a failure of one entry is logged and the next one goes on. An
    // entry that names the key or value of an entry before it is skipped.
    void run();

    // The progress text: short root name, key and value name, backslash separated (a
    // whole-key removal ends with the backslash after the key).
    static std::wstring progressText(HKEY root, const std::wstring& key, const std::wstring& name);

    const RegistryRemovalList& entries() const { return entries_; }
    const std::wstring& allUsers() const { return allUsers_; }

private:
    void removeEntry(const RegistryRemovalRecord& entry);
    // True, logged, when the key has an empty component; what names the entry.
    bool refusedForEmptyComponent(const std::wstring& what, const std::wstring& key) const;
    bool removeKeyTree(HKEY root, const std::wstring& key, RegistryView view) const;
    bool removeValue(HKEY root, const std::wstring& key, const std::wstring& name, RegistryView view) const;

    const ActionLog& log_;
    ProgressReporter progress_;
    RegistryRemovalList entries_;
    std::wstring allUsers_;
};

// OnVuRemoveRegs: reads CustomActionData, loads it and runs the removal.
void removeRegistryEntries(const ActionLog& log);

}  // namespace tidewell
