#pragma once
// The one door to the file system for code that runs as SYSTEM in folders a user may
// write: a folder opened from its volume's root one component at a time, each relative
// to the handle of the one before, missing ones made on the way when asked. A link met
// on the way (a junction, mount point or symbolic link) is followed only where its parent
// folder can be written by trusted accounts alone (SYSTEM, Administrators,
// TrustedInstaller, the account running): only they could have made it, as an
// administrator who relocates a folder to another drive does. The walk then goes on from
// the link's target, with the same check. Any other link is refused. Each component is
// held without delete sharing while it is used, and items then go in, come out or are
// opened by their leaf names relative to the handle, so that nothing swapped in by path
// later can steer them.
#include <windows.h>
#include <string>

#include "common/unique_any.h"

namespace tidewell {

enum class MissingFolders { Refuse, Create };

class HeldFolder {
public:
    // Drive paths only ("C:\..."); for any other path (a share) nothing is opened and
    // byHandle() is false: the caller acts by path there.
    HeldFolder(const std::wstring& folder, MissingFolders missing);

    bool byHandle() const { return byHandle_; }
    bool isOpen() const { return folder_.is_valid(); }
    HANDLE handle() const { return folder_.get(); }
    // Why it is not open: a link on the way that is not followed (error
    // ERROR_CANT_RESOLVE_FILENAME), or the Win32 error of the component that could not be
    // opened or made.
    bool linkOnTheWay() const { return linkOnTheWay_; }
    DWORD error() const { return error_; }
    // The component where it stopped (the link, or the folder that could not be opened).
    const std::wstring& stoppedAt() const { return stoppedAt_; }

    // Renames what the handle holds (opened with DELETE) into this folder as the leaf;
    // never replaces.
    bool renameInto(HANDLE item, const std::wstring& leaf) const;
    // Opens the entry of that leaf name in this folder as itself, never through a link
    // (sharing read, write and delete); an invalid handle with the error set when it
    // cannot.
    unique_hfile openEntry(const std::wstring& leaf, DWORD access) const;
    // Hands the folder's handle over (this object is then closed).
    unique_hfile release() { return std::move(folder_); }
    // Copies the file the handle holds (opened for reading: the very file that was
    // checked, not one reopened by its path) into this folder as a new file of the leaf
    // name, with its attributes and times; never replaces. A copy that cannot be made
    // whole is deleted through its own handle. False with the error as last error.
    bool copyInto(HANDLE source, const std::wstring& leaf) const;

private:
    // One walk of the path ("\\?\C:\a\b"); a link followed gives the path to walk next.
    enum class Walk { Done, Again };
    Walk walk(std::wstring& path, MissingFolders missing);

    unique_hfile folder_;
    bool byHandle_ = false;
    bool linkOnTheWay_ = false;
    DWORD error_ = ERROR_SUCCESS;
    std::wstring stoppedAt_;
};

}  // namespace tidewell
