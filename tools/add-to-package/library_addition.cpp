#include "library_addition.h"

#include <msiquery.h>

#include <stdexcept>

#include "common/text.h"
#include "sequence_placement.h"

namespace tidewell::add {

using tools::literal;
using tools::parseIdt;
using tools::quoted;
using tools::TableSchema;

namespace {

constexpr wchar_t kBinaryName[] = L"Tidewell";
// The bit that runs a deferred action in the system's context. Packages may drop it
// (per-user packages do), so a CustomAction row that differs only there is no conflict.
constexpr int kNoImpersonate = 0x800;

// Standard tables that the tool makes when the package lacks them, with the rows they
// have in the installer's own validation table.
constexpr char kBinaryTable[] = "Name\tData\r\ns72\tv0\r\nBinary\tName\r\n";
constexpr char kStandardValidation[] =
    "Table\tColumn\tNullable\tMinValue\tMaxValue\tKeyTable\tKeyColumn\tCategory\tSet\tDescription\r\n"
    "s32\ts32\ts4\tI4\tI4\tS255\tI2\tS32\tS255\tS255\r\n"
    "_Validation\tTable\tColumn\r\n"
    "Binary\tName\tN\t\t\t\t\tIdentifier\t\tUnique key identifying the binary data.\r\n"
    "Binary\tData\tN\t\t\t\t\tBinary\t\tThe unformatted binary data.\r\n"
    "CustomAction\tAction\tN\t\t\t\t\tIdentifier\t\tPrimary key, name of action, normally appears in sequence "
    "table unless private use.\r\n"
    "CustomAction\tType\tN\t1\t32767\t\t\t\t\tThe numeric custom action type, consisting of source location, "
    "code type, entry, option flags.\r\n"
    "CustomAction\tSource\tY\t\t\t\t\tCustomSource\t\tThe table reference of the source of the code.\r\n"
    "CustomAction\tTarget\tY\t\t\t\t\tFormatted\t\tExecution parameter, depends on the type of custom action.\r\n"
    "Error\tError\tN\t0\t32767\t\t\t\t\tInteger error number, obtained from header file IError(...) macros.\r\n"
    "Error\tMessage\tY\t\t\t\t\tTemplate\t\tError formatting template, obtained from user ed. or localizers.\r\n"
    "ActionText\tAction\tN\t\t\t\t\tIdentifier\t\tName of action to be described.\r\n"
    "ActionText\tDescription\tY\t\t\t\t\tText\t\tLocalized description displayed in progress dialog and log when "
    "action is executing.\r\n"
    "ActionText\tTemplate\tY\t\t\t\t\tTemplate\t\tOptional localized format template used to format action data "
    "records for display during action execution.\r\n";

IdtTable parseText(const char* text) { return parseIdt(text); }

std::wstring joined(const std::vector<std::wstring>& parts, const std::wstring& separator) {
    std::wstring text;
    for (size_t i = 0; i < parts.size(); ++i) text += (i ? separator : L"") + parts[i];
    return text;
}

std::wstring describe(const TableSchema& schema) {
    std::vector<std::wstring> columns;
    for (size_t i = 0; i < schema.columns.size(); ++i)
        columns.push_back(schema.columns[i] + L" " + (i < schema.types.size() ? schema.types[i] : L"?"));
    return joined(columns, L", ") + L"; key " + joined(schema.keys, L", ");
}

// The row's values as parameters of an INSERT: integers as integers, "" as null.
void insertRow(MsiDatabase& database, const IdtTable& table, const TextRow& row) {
    std::wstring names, marks;
    unique_msihandle record(::MsiCreateRecord(static_cast<UINT>(row.size())));
    for (size_t i = 0; i < row.size(); ++i) {
        names += (i ? L", " : L"") + quoted(table.columns[i]);
        marks += i ? L", ?" : L"?";
        const UINT field = static_cast<UINT>(i + 1);
        if (row[i].empty()) continue;
        if (table.isInteger(i))
            ::MsiRecordSetInteger(record.get(), field, parseDecimal(row[i]));
        else
            ::MsiRecordSetStringW(record.get(), field, row[i].c_str());
    }
    database.execute(L"INSERT INTO " + quoted(table.name) + L" (" + names + L") VALUES (" + marks + L")",
                     record.get());
}

// The package's rows with the same primary key as the kit's row (none or one).
std::vector<TextRow> matchingRows(const MsiDatabase& package, const IdtTable& table, const TextRow& row) {
    std::wstring where;
    for (const auto& key : table.keys)
        where += (where.empty() ? L"" : L" AND ") + quoted(key) + L"=" +
                 (table.isInteger(table.columnIndex(key)) ? row[table.columnIndex(key)]
                                                          : literal(row[table.columnIndex(key)]));
    std::wstring columns;
    for (size_t i = 0; i < table.columns.size(); ++i) columns += (i ? L", " : L"") + quoted(table.columns[i]);
    return package.select(L"SELECT " + columns + L" FROM " + quoted(table.name) + L" WHERE " + where);
}

class Planner {
public:
    Planner(const MsiDatabase& package, const std::map<std::wstring, IdtTable>& kit, std::wstring dllPath)
        : package_(package), kit_(kit), dllPath_(std::move(dllPath)) {}

    AdditionPlan run() {
        for (const auto& [name, table] : kit_)
            if (name.starts_with(L"VU_")) customTable(table);
        binary();
        customActions();
        errorRow();
        actionTexts();
        sequence();
        validation();
        return std::move(plan_);
    }

private:
    void change(std::wstring description, std::function<void(MsiDatabase&)> make = {}) {
        plan_.changes.push_back({std::move(description), std::move(make)});
    }
    void conflict(std::wstring text) { plan_.conflicts.push_back(std::move(text)); }

    // A table of the kit that the package may lack: made with the kit's schema.
    bool ensureTable(const IdtTable& table) {
        if (package_.hasTable(table.name)) return true;
        change(L"table " + table.name + L": created (" + describe({table.columns, table.types, table.keys}) + L")",
               [table](MsiDatabase& database) { database.execute(table.createStatement()); });
        createdTables_.push_back(table.name);
        return false;
    }

    void customTable(const IdtTable& table) {
        if (!ensureTable(table)) return;
        const TableSchema wanted{table.columns, table.types, table.keys};
        const TableSchema present = package_.schema(table.name);
        if (present == wanted)
            change(L"table " + table.name + L": already there with the library's columns");
        else
            conflict(L"table " + table.name + L" has other columns: " + describe(present) + L" (the library reads " +
                     describe(wanted) + L")");
    }

    void binary() {
        const IdtTable table = parseText(kBinaryTable);
        const bool present = ensureTable(table) &&
                             !package_.select(L"SELECT `Name` FROM `Binary` WHERE `Name`=" + literal(kBinaryName)).empty();
        const std::wstring dll = dllPath_;
        change(std::wstring(L"Binary ") + kBinaryName + (present ? L": replaced by " : L": added from ") + dll,
               [dll, present](MsiDatabase& database) {
                   if (present) database.execute(L"DELETE FROM `Binary` WHERE `Name`=" + literal(kBinaryName));
                   unique_msihandle record(::MsiCreateRecord(2));
                   ::MsiRecordSetStringW(record.get(), 1, kBinaryName);
                   if (::MsiRecordSetStreamW(record.get(), 2, dll.c_str()) != ERROR_SUCCESS)
                       throw std::runtime_error("cannot read " + toUtf8(dll));
                   database.execute(L"INSERT INTO `Binary` (`Name`, `Data`) VALUES (?, ?)", record.get());
               });
    }

    // Rows of a kit table that the package lacks are added; rows it has must agree.
    template <typename Agree>
    void mergeRows(const IdtTable& table, Agree agree, const std::wstring& what) {
        const bool tableThere = ensureTable(table);
        int added = 0, kept = 0;
        for (const auto& row : table.rows) {
            const std::vector<TextRow> found = tableThere ? matchingRows(package_, table, row) : std::vector<TextRow>{};
            if (found.empty()) {
                ++added;
                change(L"", [table, row](MsiDatabase& database) { insertRow(database, table, row); });
            } else if (agree(row, found.front())) {
                ++kept;
            } else {
                std::wstring key;
                for (const auto& column : table.keys) key += (key.empty() ? L"" : L".") + row[table.columnIndex(column)];
                conflict(what + L" " + key + L" is already there as " + joined(found.front(), L" | ") +
                         L" (the library's: " + joined(row, L" | ") + L")");
            }
        }
        change(table.name + L": " + std::to_wstring(added) + L" row(s) added" +
               (kept ? L", " + std::to_wstring(kept) + L" already there" : L""));
    }

    void customActions() {
        mergeRows(kit_.at(L"CustomAction"), [](const TextRow& kit, const TextRow& present) {
            return ((parseDecimal(kit[1]) ^ parseDecimal(present[1])) & ~kNoImpersonate) == 0 &&
                   kit[0] == present[0] && kit[2] == present[2] && kit[3] == present[3];
        }, L"CustomAction");
    }

    // The package's own wording of the clean-up question wins over the kit's.
    void errorRow() {
        mergeRows(kit_.at(L"Error"), [](const TextRow&, const TextRow&) { return true; }, L"Error");
    }

    // Progress texts: a package's own text for an action wins over the kit's.
    void actionTexts() {
        mergeRows(kit_.at(L"ActionText"), [](const TextRow&, const TextRow&) { return true; }, L"ActionText");
    }

    void sequence() {
        const IdtTable& table = kit_.at(L"InstallExecuteSequence");
        std::map<std::wstring, int> packageSequence;
        for (const auto& row : package_.select(L"SELECT `Action`, `Sequence` FROM `InstallExecuteSequence`"))
            packageSequence[row[0]] = row[1].empty() ? 0 : parseDecimal(row[1]);
        std::vector<SequenceRow> wanted;
        for (const auto& row : table.rows) {
            const auto found = packageSequence.find(row[0]);
            if (found != packageSequence.end())
                change(L"InstallExecuteSequence: " + row[0] + L" kept where the package has it (" +
                       std::to_wstring(found->second) + L")");
            else
                wanted.push_back({row[0], row[1], parseDecimal(row[2])});
        }
        std::vector<Placement> placements;
        try {
            placements = placeNextToStandardActions(wanted, packageSequence);
        } catch (const std::runtime_error& e) {
            conflict(L"InstallExecuteSequence: " + fromUtf8(e.what()));
            return;
        }
        for (const auto& placement : placements) {
            const TextRow row{placement.row.action, placement.row.condition, std::to_wstring(placement.row.number)};
            change(L"InstallExecuteSequence: " + placement.row.action + L" at " + row[2] +
                       (placement.before ? L", before " : L", after ") + placement.anchor + L" (" +
                       std::to_wstring(placement.anchorNumber) +
                       (placement.anchorInPackage ? L")" : L", where it would stand: the package has no " +
                                                              placement.anchor + L")"),
                   [table, row](MsiDatabase& database) { insertRow(database, table, row); });
        }
    }

    // Validation rows for the custom tables and for the standard tables made here.
    void validation() {
        if (!package_.hasTable(L"_Validation")) {
            change(L"_Validation: the package has no validation table; no rows added");
            return;
        }
        IdtTable rows = kit_.at(L"_Validation");
        const IdtTable standard = parseText(kStandardValidation);
        for (const auto& row : standard.rows)
            for (const auto& created : createdTables_)
                if (row[0] == created) rows.rows.push_back(row);
        const size_t description = rows.columnIndex(L"Description");
        mergeRows(rows, [description](const TextRow& kit, const TextRow& present) {
            for (size_t i = 0; i < kit.size(); ++i)
                if (i != description && kit[i] != present[i]) return false;
            return true;
        }, L"_Validation row for");
    }

    const MsiDatabase& package_;
    const std::map<std::wstring, IdtTable>& kit_;
    const std::wstring dllPath_;
    std::vector<std::wstring> createdTables_;
    AdditionPlan plan_;
};

}  // namespace

AdditionPlan planAddition(const MsiDatabase& package, const std::map<std::wstring, IdtTable>& kit,
                          const std::wstring& dllPath) {
    return Planner(package, kit, dllPath).run();
}

}  // namespace tidewell::add
