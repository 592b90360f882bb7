// Where the library's actions stand in InstallExecuteSequence, relative to the standard
// actions and to each other (docs/authoring.md, "Where the actions go"), and the
// conditions of their sequence rows. Actions are found by export, since the package
// may name its own actions as it likes.
#include "check_context.h"
#include "common/text.h"

namespace tidewell::tools {

namespace {

enum class Side { Before, After };

struct Rule {
    const wchar_t* actionExport;
    Side side;
    const wchar_t* other;  // a standard action, or "export:" and a library export
    const wchar_t* why;
};

constexpr wchar_t kExport[] = L"export:";

constexpr Rule kRules[] = {
    {L"OnPromptUserBasicUI", Side::Before, L"InstallValidate", L"it must answer before anything is removed"},
    {L"OnPromptUserBasicUI", Side::Before, L"export:OnVuRemoveFilesImmediate", L"the rows' conditions read its answer"},
    {L"OnPromptUserBasicUI", Side::Before, L"export:OnVuRemoveRegsImmediate", L"the rows' conditions read its answer"},
    {L"OnPromptUserBasicUI", Side::Before, L"export:OnVuMoveFilesImmediate", L"the rows' conditions read its answer"},
    {L"OnVuBackupImmediate", Side::After, L"CostFinalize", L"folder properties in Path are resolved only then"},
    {L"OnVuBackupDeferred", Side::After, L"InstallInitialize", L"a deferred action runs only from the script"},
    {L"OnVuBackupDeferred", Side::Before, L"InstallFinalize", L"a deferred action runs only from the script"},
    {L"OnVuBackupRollback", Side::After, L"InstallInitialize", L"a rollback action runs only from the script"},
    {L"OnVuRemoveRegsImmediate", Side::After, L"InstallInitialize", L"it schedules deferred actions"},
    {L"OnVuRemoveRegsImmediate", Side::Before, L"RemoveRegistryValues", L"it takes over that action's rows"},
    {L"OnVuUndoRemoveFiles", Side::After, L"InstallInitialize", L"a rollback action runs only from the script"},
    {L"OnVuUndoRemoveFiles", Side::Before, L"export:OnVuRemoveFilesImmediate",
     L"the undo must stand in the script before the removal it undoes"},
    {L"OnVuRemoveFilesImmediate", Side::After, L"InstallInitialize", L"it schedules deferred actions"},
    {L"OnVuRemoveFilesImmediate", Side::Before, L"RemoveFiles", L"it takes over that action's rows"},
    {L"OnVuMoveFilesImmediate", Side::After, L"InstallInitialize", L"it schedules deferred actions"},
    {L"OnVuMoveFilesImmediate", Side::Before, L"MoveFiles", L"it takes over that action's rows"},
    {L"OnVuRestoreImmediate", Side::After, L"InstallFiles", L"it puts the copies back over the installed files"},
    {L"OnVuRestoreImmediate", Side::After, L"WriteRegistryValues", L"it puts the copies back over the written values"},
    {L"OnVuRestoreImmediate", Side::Before, L"InstallFinalize", L"it schedules deferred actions"},
    {L"OnVuBackupCleanup", Side::After, L"InstallFinalize", L"it discards a backup that no restore used"},
};

struct Sequenced {
    std::wstring action;
    int number;
};

class SequenceChecks {
public:
    explicit SequenceChecks(CheckContext& context) : context_(context) {
        for (const auto& row : context.rows(L"CustomAction", {L"Action", L"Target"})) {
            const auto number = context.sequenceNumber(row[0]);
            if (number) byExport_[row[1]].push_back({row[0], *number});
        }
    }

    void order() {
        for (const auto& rule : kRules) {
            const auto found = byExport_.find(rule.actionExport);
            if (found == byExport_.end()) continue;
            for (const auto& action : found->second)
                for (const auto& other : others(rule.other)) compare(rule, action, other);
        }
    }

    // The backup's rollback with RemoveExistingProducts before InstallInitialize.
    void upgradeRollback() {
        const auto remove = context_.sequenceNumber(L"RemoveExistingProducts");
        const auto initialize = context_.sequenceNumber(L"InstallInitialize");
        const auto rollback = byExport_.find(L"OnVuBackupRollback");
        if (!remove || !initialize || *remove >= *initialize || rollback == byExport_.end()) return;
        for (const auto& action : rollback->second)
            context_.report(L"upgrade-rollback", L"InstallExecuteSequence", action.action,
                            L"RemoveExistingProducts (" + toDecimal(*remove) + L") stands before InstallInitialize (" +
                                toDecimal(*initialize) + L")");
    }

    // A major upgrade: the backup must copy before the old version goes, and the restore
    // must come after it, or the old version's uninstallation removes what was restored.
    void upgradeOrder() {
        const auto remove = context_.sequenceNumber(L"RemoveExistingProducts");
        if (!remove) return;
        for (const auto& action : actions(L"OnVuBackupImmediate"))
            if (action.number > *remove)
                context_.report(L"backup-after-removal", L"InstallExecuteSequence", action.action,
                                L"at " + toDecimal(action.number) + L" it stands after RemoveExistingProducts (" +
                                    toDecimal(*remove) + L"): the old version has removed the data by then");
        if (context_.rows(L"VU_PersistentData", {L"PersistentRow"}).empty()) return;
        for (const auto& action : actions(L"OnVuRestoreImmediate"))
            if (action.number < *remove)
                context_.report(L"restore-before-removal", L"InstallExecuteSequence", action.action,
                                L"at " + toDecimal(action.number) + L" it stands before RemoveExistingProducts (" +
                                    toDecimal(*remove) + L"): the restore runs while the old version is installed");
    }

    void conditions() {
        std::set<std::wstring> library;
        for (const auto& [target, actions] : byExport_)
            for (const auto& action : actions) library.insert(action.action);
        for (const auto& row : context_.rows(L"InstallExecuteSequence", {L"Action", L"Condition"}))
            if (library.contains(row[0]) && context_.conditions().isSyntaxError(row[1]))
                context_.report(L"condition-syntax", L"InstallExecuteSequence", row[0],
                                L"Condition '" + row[1] + L"' does not parse");
    }

private:
    std::vector<Sequenced> actions(const std::wstring& actionExport) const {
        const auto found = byExport_.find(actionExport);
        return found == byExport_.end() ? std::vector<Sequenced>{} : found->second;
    }

    std::vector<Sequenced> others(const std::wstring& other) const {
        if (other.starts_with(kExport)) {
            const auto found = byExport_.find(other.substr(std::wstring(kExport).size()));
            return found == byExport_.end() ? std::vector<Sequenced>{} : found->second;
        }
        const auto number = context_.sequenceNumber(other);
        return number ? std::vector<Sequenced>{{other, *number}} : std::vector<Sequenced>{};
    }

    void compare(const Rule& rule, const Sequenced& action, const Sequenced& other) {
        const bool right = rule.side == Side::Before ? action.number < other.number : action.number > other.number;
        if (right) return;
        context_.report(L"sequence-order", L"InstallExecuteSequence", action.action,
                        L"at " + toDecimal(action.number) + L" it must stand " +
                            (rule.side == Side::Before ? L"before " : L"after ") + other.action + L" (" +
                            toDecimal(other.number) + L"): " + rule.why);
    }

    CheckContext& context_;
    std::map<std::wstring, std::vector<Sequenced>> byExport_;
};

}  // namespace

void checkSequence(CheckContext& context) {
    SequenceChecks checks(context);
    checks.order();
    checks.upgradeRollback();
    checks.upgradeOrder();
    checks.conditions();
}

}  // namespace tidewell::tools
