#pragma once
// What every group of checks works with: the package, the kit, the installer's condition
// parser, and the report the findings go into.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "condition_syntax.h"
#include "idt_table.h"
#include "msi_database.h"
#include "package_checks.h"

namespace tidewell::tools {

class CheckContext {
public:
    CheckContext(const MsiDatabase& package, std::optional<std::wstring> dllPath);

    const MsiDatabase& package() const { return package_; }
    const std::map<std::wstring, IdtTable>& kit() const { return kit_; }
    const std::optional<std::wstring>& dllPath() const { return dllPath_; }
    const ConditionSyntax& conditions() const { return conditions_; }

    bool hasTable(const std::wstring& table) const;
    // The named columns of every row; none when the table is absent. A column that the
    // table lacks reads as empty.
    std::vector<TextRow> rows(const std::wstring& table, const std::vector<std::wstring>& columns) const;
    // The value of a property in the Property table; nullopt when it has no row.
    std::optional<std::wstring> propertyValue(const std::wstring& property) const;
    // Properties that something in the package sets: the Property table, type-51
    // actions, AppSearch, and the installer's own folder properties.
    bool isPropertySet(const std::wstring& property) const;
    // The action's number in InstallExecuteSequence.
    std::optional<int> sequenceNumber(const std::wstring& action) const;

    // A custom table without its key column: its rows are not read.
    void markUnreadable(const std::wstring& table) { unreadable_.insert(table); }
    bool isReadable(const std::wstring& table) const { return hasTable(table) && !unreadable_.contains(table); }

    // Adds a finding with the catalogue's severity for the code.
    void report(const std::wstring& code, const std::wstring& table, const std::wstring& row, const std::wstring& detail);
    CheckReport& result() { return result_; }

private:
    const MsiDatabase& package_;
    const std::map<std::wstring, IdtTable> kit_;
    const std::optional<std::wstring> dllPath_;
    const ConditionSyntax conditions_;
    std::map<std::wstring, std::wstring> properties_;
    std::set<std::wstring> setProperties_;
    std::map<std::wstring, int> sequence_;
    std::set<std::wstring> unreadable_;
    CheckReport result_;
};

// The groups of checks, one file each.
void checkTables(CheckContext& context);
void checkRows(CheckContext& context);
void checkActions(CheckContext& context);
void checkSequence(CheckContext& context);
void checkCleanupQuestion(CheckContext& context);

}  // namespace tidewell::tools
