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
#include "win/registry_key.h"

namespace tidewell {

struct RegistryRemovalEntry {
    int root = 0;            // -1 (by ALLUSERS), 0 to 3, anything else counts as HKLM
    std::wstring key;        // subkey path below the root
    std::wstring name;       // "-": the whole key; else the value (empty: the default value)
    bool useNativeView = false;  // the row's component is 64-bit
};

// Keyed by the RemoveRegistry row; the first record of a key wins.
using RegistryRemovalList = std::map<std::wstring, RegistryRemovalEntry>;

class RegistryRemover {
public:
    // Keeps the installer handle without owning it.
    explicit RegistryRemover(MSIHANDLE installer);

    // Fills the list from a parsed work list (row group, then the ALLUSERS group). A
    // work list of another shape loads nothing; records of another length are skipped.
    // Returns 0.
    UINT load(const ActionData& data);
    // Processes every entry; a failure of one entry is logged and the next one goes on.
    // Returns 0.
    UINT run();

    // The progress text: short root name, key and value name, backslash separated (a
    // whole-key removal ends with the backslash after the key).
    static std::wstring describe(HKEY root, const std::wstring& key, const std::wstring& name);

    const RegistryRemovalList& entries() const { return entries_; }
    const std::wstring& allUsers() const { return allUsers_; }

private:
    UINT removeEntry(const RegistryRemovalEntry& entry);
    bool removeKeyTree(HKEY root, const std::wstring& key, RegistryView view) const;
    bool removeValue(HKEY root, const std::wstring& key, const std::wstring& name, RegistryView view) const;

    MSIHANDLE installer_;
    ActionLog log_;
    RegistryRemovalList entries_;
    std::wstring allUsers_;
};

// OnVuRemoveRegs: reads CustomActionData, loads it and runs the removal. Always 0.
UINT removeRegistryEntries(MSIHANDLE installer);

}  // namespace tidewell
