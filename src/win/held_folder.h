#pragma once
// The folder that something is put into, opened the safe way for code that runs as
// SYSTEM in folders a user may write: from the volume root one component at a time, each
// a real folder where the path says (a link on the way, a junction or a symbolic link
// anywhere above, is refused), missing ones made on the way when asked. The handle is
// held without delete sharing while it is used, and the item then goes in by its leaf
// name relative to the handle, so that nothing swapped in by path later can steer it.
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
    // Why it is not open: a link on the way (error ERROR_CANT_RESOLVE_FILENAME), or the
    // Win32 error of the component that could not be opened or made.
    bool linkOnTheWay() const { return linkOnTheWay_; }
    DWORD error() const { return error_; }
    // The component where it stopped (the link, or the folder that could not be opened).
    const std::wstring& stoppedAt() const { return stoppedAt_; }

    // Renames what the handle holds (opened with DELETE) into this folder as the leaf;
    // never replaces.
    bool renameInto(HANDLE item, const std::wstring& leaf) const;
    // Copies the file the handle holds (opened for reading: the very file that was
    // checked, not one reopened by its path) into this folder as a new file of the leaf
    // name, with its attributes and times; never replaces. A copy that cannot be made
    // whole is deleted through its own handle. False with the error as last error.
    bool copyInto(HANDLE source, const std::wstring& leaf) const;

private:
    unique_hfile folder_;
    bool byHandle_ = false;
    bool linkOnTheWay_ = false;
    DWORD error_ = ERROR_SUCCESS;
    std::wstring stoppedAt_;
};

}  // namespace tidewell
