// The library's custom actions: each targets an export that the DLL in the package really
// has, with the kit's type, and every action that an immediate action schedules exists.
#include "check_context.h"
#include "common/text.h"
#include "library_version.h"
#include "pe_image.h"

namespace tidewell::tools {

namespace {

constexpr wchar_t kLibraryBinary[] = L"Tidewell";
constexpr int kNoImpersonate = 0x800;

std::wstring machineText(unsigned machine) {
    if (machine == kMachineX86) return L"x86";
    if (machine == kMachineX64) return L"x64";
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text = L"0x";
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(machine >> shift) & 0xF];
    return text;
}
constexpr int kTypeMask = 0x3F;  // code type and source bits
constexpr int kDllInBinary = 1;

// The actions that the library's immediate actions schedule, by export.
struct Scheduling {
    const wchar_t* immediateExport;
    std::vector<std::wstring> scheduled;
};
const std::vector<Scheduling>& schedulings() {
    static const std::vector<Scheduling> all = {
        {L"OnVuRemoveFilesImmediate",
         {L"VU_VuRemoveFilesDeferred_Undoable", L"VU_VuRemoveFilesCommit", L"VU_VuRemoveFilesDeferred_Permanent"}},
        {L"OnVuRemoveRegsImmediate", {L"VU_VuRemoveRegsCommit", L"VU_VuRemoveRegsDeferred"}},
        {L"OnVuMoveFilesImmediate", {L"VU_VuMoveFilesRollback", L"VU_VuMoveFilesDeferred"}},
        {L"OnVuRestoreImmediate", {L"VU_VuRestoreRollback", L"VU_VuRestoreDeferred"}},
    };
    return all;
}

struct ActionRow {
    std::wstring action;
    int type = 0;
    std::wstring source;
    std::wstring target;
};

class ActionChecks {
public:
    explicit ActionChecks(CheckContext& context) : context_(context) {
        for (const auto& row : context.kit().at(L"CustomAction").rows) {
            kitTypes_[row[3]].insert(parseDecimal(row[1]));
            kitActions_[row[0]] = parseDecimal(row[1]);
        }
        for (const auto& row : context.rows(L"CustomAction", {L"Action", L"Type", L"Source", L"Target"}))
            actions_.push_back({row[0], parseDecimal(row[1]), row[2], row[3]});
    }

    void run() {
        std::set<std::wstring> binaries;
        if (hasBinary(kLibraryBinary)) binaries.insert(kLibraryBinary);
        for (const auto& action : actions_)
            if (isDllInBinary(action) && kitTypes_.contains(action.target) && hasBinary(action.source))
                binaries.insert(action.source);
        for (const auto& binary : binaries) library(binary);
        scheduled();
    }

private:
    static bool isDllInBinary(const ActionRow& action) { return (action.type & kTypeMask) == kDllInBinary; }

    bool hasBinary(const std::wstring& name) const {
        return context_.hasTable(L"Binary") &&
               !context_.package().select(L"SELECT `Name` FROM `Binary` WHERE `Name`=" + literal(name)).empty();
    }

    void library(const std::wstring& binary) {
        const std::string stream =
            context_.package().stream(L"SELECT `Data` FROM `Binary` WHERE `Name`=" + literal(binary), 1);
        const std::optional<PeImage> inPackage = readPeImage(stream);
        context_.result().libraries.push_back({binary, inPackage ? inPackage->version : std::nullopt,
                                               libraryFileName(inPackage ? inPackage->machine : kMachineX86)});
        std::optional<PeImage> image = inPackage;
        std::wstring source = L"the DLL in Binary row " + binary;
        if (context_.dllPath()) {
            image = readPeImage(fileBytes(*context_.dllPath()));
            source = *context_.dllPath();
        }
        if (!image) {
            context_.report(L"not-a-dll", context_.dllPath() ? L"(command line)" : L"Binary", binary,
                            source + L" is not a PE image");
            return;
        }
        const std::wstring platform = context_.package().templatePlatform();
        if (!runsOnPlatform(image->machine, platform))
            context_.report(L"library-platform", context_.dllPath() ? L"(command line)" : L"Binary", binary,
                            source + L" is " + libraryFileName(image->machine) + L" (machine type " +
                                machineText(image->machine) + L"), which a package for platform " + platform +
                                L" cannot run");
        for (const auto& action : actions_) {
            if (action.source != binary || !isDllInBinary(action)) continue;
            if (!image->exports.contains(action.target)) {
                context_.report(L"missing-export", L"CustomAction", action.action,
                                source + L" has no export '" + action.target + L"'");
                continue;
            }
            type(action);
        }
    }

    // The kit's type for the action's name, or else one of its types for the export.
    void type(const ActionRow& action) {
        const auto byName = kitActions_.find(action.action);
        std::set<int> allowed;
        if (byName != kitActions_.end()) allowed.insert(byName->second);
        else if (kitTypes_.contains(action.target)) allowed = kitTypes_.at(action.target);
        if (allowed.empty()) return;
        for (const int kitType : allowed)
            if (((kitType ^ action.type) & ~kNoImpersonate) == 0) return;
        std::wstring wanted;
        for (const int kitType : allowed) wanted += (wanted.empty() ? L"" : L" or ") + toDecimal(kitType);
        context_.report(L"action-type", L"CustomAction", action.action,
                        L"type " + toDecimal(action.type) + L" for " + action.target + L"; the kit's is " + wanted +
                            L" (with or without 2048)");
    }

    void scheduled() {
        std::set<std::wstring> defined;
        for (const auto& action : actions_) defined.insert(action.action);
        for (const auto& action : actions_) {
            if (!isDllInBinary(action) || !context_.sequenceNumber(action.action)) continue;
            for (const auto& scheduling : schedulings()) {
                if (action.target != scheduling.immediateExport) continue;
                for (const auto& name : scheduling.scheduled)
                    if (!defined.contains(name))
                        context_.report(L"missing-scheduled-action", L"CustomAction", name,
                                        L"the row is missing; " + action.action + L" (" + action.target +
                                            L") schedules it");
            }
        }
    }

    CheckContext& context_;
    std::map<std::wstring, std::set<int>> kitTypes_;  // by export
    std::map<std::wstring, int> kitActions_;          // by action name
    std::vector<ActionRow> actions_;
};

}  // namespace

void checkActions(CheckContext& context) { ActionChecks(context).run(); }

}  // namespace tidewell::tools
