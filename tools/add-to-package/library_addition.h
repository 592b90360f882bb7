#pragma once
// What adding Tidewell.dll to a package takes: the Binary row with the DLL, the
// CustomAction rows, the custom tables with their _Validation rows, the Error row of the
// clean-up question, the progress texts of the library's actions, and the library's actions
// in InstallExecuteSequence. Everything
// comes from the authoring kit's IDT files; only the sequence numbers are fitted to
// the package.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "idt_table.h"
#include "msi_database.h"

namespace tidewell::add {

using tools::IdtTable;
using tools::MsiDatabase;
using tools::TextRow;

struct Change {
    std::wstring description;               // one line for the tool's report
    std::function<void(MsiDatabase&)> make; // empty: nothing to write (already there)
};

struct AdditionPlan {
    std::vector<Change> changes;
    std::vector<std::wstring> conflicts;  // rows or tables the package holds otherwise
};

// Compares the package with the kit and decides every change; writes nothing.
AdditionPlan planAddition(const MsiDatabase& package, const std::map<std::wstring, IdtTable>& kit,
                          const std::wstring& dllPath);

}  // namespace tidewell::add
