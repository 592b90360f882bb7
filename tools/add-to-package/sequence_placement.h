#pragma once
// Where the library's actions go in a package's InstallExecuteSequence. The kit's
// sequence file gives each action a number next to a standard action of the usual
// sequence (3499: just before RemoveFiles at 3500); in a package the action goes to the
// same side of that standard action, as close to it as free numbers allow, wherever
// the package has put the standard action.
#include <map>
#include <string>
#include <vector>

namespace tidewell::add {

struct SequenceRow {
    std::wstring action;
    std::wstring condition;
    int number = 0;
};

struct Placement {
    SequenceRow row;           // the action with its number in the package
    std::wstring anchor;       // the standard action it is placed next to
    int anchorNumber = 0;      // the anchor's number in the package (or its usual number)
    bool anchorInPackage = false;
    bool before = false;       // placed before the anchor (else after it)
};

// Places the kit's rows in a package whose sequence maps action names to numbers.
// Rows are kept in the kit's order on each side of an anchor. Throws std::runtime_error
// when no free number is left between 1 and 32767.
std::vector<Placement> placeNextToStandardActions(const std::vector<SequenceRow>& kitRows,
                                                  const std::map<std::wstring, int>& packageSequence);

}  // namespace tidewell::add
