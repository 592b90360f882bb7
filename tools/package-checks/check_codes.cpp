#include "check_codes.h"

#include <stdexcept>

#include "common/text.h"

namespace tidewell::tools {

namespace {
constexpr Severity E = Severity::Error;
constexpr Severity W = Severity::Warning;
}  // namespace

const std::vector<CheckCode>& checkCodes() {
    static const std::vector<CheckCode> codes = {
        {L"table-columns", E,
         L"a custom table lacks a column that the library reads, has a column of a kind it cannot read (a stream), "
         L"or has another primary key than the kit's",
         L"Make the table from the kit's IDT file (authoring/VU_*.idt): the library reads those columns by name"},
        {L"column-type", W,
         L"a custom table's column differs from the kit's in width, nullability or integer-or-text kind, or the "
         L"table has a column the library does not read; the library reads every column by name, integers as "
         L"numbers and texts as text, so its rows do the same",
         L"Nothing needs to change; the kit's IDT file (authoring/VU_*.idt) has the types that Windows Installer's "
         L"validation expects"},
        {L"table-validation", W, L"a _Validation row of a custom table's column is missing or says something else",
         L"Add the kit's rows from authoring/_Validation.idt (tidewell-add adds them)"},
        {L"orphan-row", E, L"an extended row has no standard row of the same key, so nothing carries it out",
         L"Add the RemoveFile, RemoveRegistry or MoveFile row that the VU_ row extends, or drop the VU_ row"},
        {L"unknown-component", E, L"the row's Component_ names no row of the Component table",
         L"Name an existing component: its state selects the row"},
        {L"unknown-folder", W,
         L"a folder column names neither a Directory row nor a property that the Property table, a type-51 action "
         L"or AppSearch sets, so the row finds no folder",
         L"Name a Directory row, or set the property (Property table, a type-51 custom action or AppSearch)"},
        {L"install-mode", E, L"InstallMode is not empty, 1, 2 or 3, so the row applies whatever the component does",
         L"Write 1 (installed), 2 (removed) or 3 (both)"},
        {L"options", E, L"VU_RemoveFile.Options is outside 0-3", L"Write 0, 1, 2 or 3 (docs/authoring.md, File removal)"},
        {L"extended-options", E, L"VU_MoveFile.ExtendedOptions uses bits other than the install mode (the lowest two)",
         L"Write 0 or 1 (installed), 2 (removed) or 3 (both)"},
        {L"root", E, L"RemoveRegistry.Root is not -1, 0, 1, 2 or 3", L"Write a root from -1 to 3"},
        {L"condition-syntax", E, L"Windows Installer reports the condition as a syntax error",
         L"Correct the condition: the installation would fail on it or the row would never apply"},
        {L"key-may-be-empty", W,
         L"a registry Key made only of property references that may be unset can resolve to its parent key, "
         L"or to the whole root",
         L"Write a literal part into the key, or give the properties a value in the Property table"},
        {L"root-path", E, L"a persistent-data Path is a drive root or a whole root key: the library never backs it up",
         L"Name the folder or key below the root that holds the data"},
        {L"not-a-dll", E, L"the Binary row that the library's actions use holds no readable DLL",
         L"Put Tidewell.dll into the Binary row (tidewell-add replaces it)"},
        {L"library-platform", E,
         L"the DLL in the library's Binary row cannot run on the package's platform (the Template summary "
         L"property): an x64 DLL in an Intel package, or a DLL for another machine",
         L"Put Tidewell.dll into Intel packages and Tidewell64.dll into x64 packages (tidewell-add picks by the "
         L"platform)"},
        {L"missing-export", E,
         L"a custom action targets a function that the library does not export; Windows fails the installation "
         L"with 1723 (Wine lets it pass)",
         L"Target one of the library's exports, as the kit's CustomAction.idt does"},
        {L"action-type", E,
         L"a custom action of the library has another type than the kit's (immediate, deferred, rollback or commit; "
         L"NoImpersonate may differ)",
         L"Use the kit's type for this export (docs/authoring.md, Custom action types)"},
        {L"missing-scheduled-action", E,
         L"an immediate action of the package schedules an action that the CustomAction table lacks; the installation "
         L"fails with 1603",
         L"Add the kit's CustomAction row of that name"},
        {L"sequence-order", E, L"a library action stands on the wrong side of a standard action or of another library action",
         L"Move it as docs/authoring.md, Where the actions go, says"},
        {L"upgrade-rollback", W,
         L"RemoveExistingProducts stands before InstallInitialize together with the backup's rollback action: a "
         L"failed installation discards the backup while the old product stays removed",
         L"Leave VU_BackupRollback out of the sequence, or move RemoveExistingProducts after InstallInitialize"},
        {L"backup-after-removal", E,
         L"the backup's immediate action stands after RemoveExistingProducts: at a major upgrade the old version has "
         L"removed the data before the backup copies it",
         L"Sequence the backup before RemoveExistingProducts (the kit's VU_BackupImmediate stands at 1399)"},
        {L"restore-before-removal", E,
         L"RemoveExistingProducts stands after the restore's immediate action in a package with backup rows: the "
         L"restore puts the data back while the old version is still installed, and the old version's uninstallation "
         L"then removes what its rows name",
         L"Sequence RemoveExistingProducts before the restore: after InstallValidate, or after InstallInitialize "
         L"before VU_RestoreImmediate"},
        {L"upgrade-removal-condition", W,
         L"a removal row of the library acts at uninstallation and its condition does not exclude an upgrade "
         L"(NOT UPGRADINGPRODUCTCODE), in a package with an Upgrade table: at the next major upgrade the old version's "
         L"uninstallation runs the row and removes what the new version installed or restored",
         L"Add AND NOT UPGRADINGPRODUCTCODE to the row's condition"},
        {L"missing-question", E,
         L"the clean-up question is asked (its action is sequenced or VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI is set), "
         L"but the Error table has no row 4152 with its wording",
         L"Add Error row 4152 (authoring/Error.idt)"},
    };
    return codes;
}

const CheckCode& checkCode(const std::wstring& code) {
    for (const auto& entry : checkCodes())
        if (code == entry.code) return entry;
    throw std::out_of_range("no check code " + toUtf8(code));
}

}  // namespace tidewell::tools
