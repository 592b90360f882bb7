#include "sequence_placement.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <stdexcept>

#include "common/text.h"

namespace tidewell::add {

namespace {

struct StandardAction {
    const wchar_t* name;
    int number;  // its number in the usual sequence
};

// The standard actions that the library's actions are placed next to.
constexpr StandardAction kAnchors[] = {
    {L"InstallValidate", 1400},      {L"InstallInitialize", 1500}, {L"RemoveRegistryValues", 2600},
    {L"RemoveFiles", 3500},          {L"MoveFiles", 3800},         {L"InstallFiles", 4000},
    {L"WriteRegistryValues", 5000},  {L"InstallFinalize", 6600},
};

const StandardAction& nearestAnchor(int number) {
    const StandardAction* best = &kAnchors[0];
    for (const auto& anchor : kAnchors)
        if (std::abs(anchor.number - number) < std::abs(best->number - number)) best = &anchor;
    return *best;
}

}  // namespace

std::vector<Placement> placeNextToStandardActions(const std::vector<SequenceRow>& kitRows,
                                                  const std::map<std::wstring, int>& packageSequence) {
    std::set<int> used;
    for (const auto& [action, number] : packageSequence) used.insert(number);

    // Rows by anchor and side, each group ordered from the anchor outwards.
    struct Pending {
        size_t index;
        int offset;
    };
    std::map<std::pair<std::wstring, bool>, std::vector<Pending>> groups;
    std::vector<Placement> placements(kitRows.size());
    for (size_t i = 0; i < kitRows.size(); ++i) {
        const StandardAction& anchor = nearestAnchor(kitRows[i].number);
        const int offset = kitRows[i].number - anchor.number;
        if (offset == 0) throw std::runtime_error("the kit places " + toUtf8(kitRows[i].action) + " on a standard action");
        const auto found = packageSequence.find(anchor.name);
        Placement& placement = placements[i];
        placement.row = kitRows[i];
        placement.anchor = anchor.name;
        placement.anchorInPackage = found != packageSequence.end();
        placement.anchorNumber = placement.anchorInPackage ? found->second : anchor.number;
        placement.before = offset < 0;
        groups[{anchor.name, placement.before}].push_back({i, offset});
    }

    for (auto& [key, pending] : groups) {
        const bool before = key.second;
        std::sort(pending.begin(), pending.end(),
                  [](const Pending& a, const Pending& b) { return std::abs(a.offset) < std::abs(b.offset); });
        int number = placements[pending.front().index].anchorNumber;
        for (const auto& item : pending) {
            do {
                number += before ? -1 : 1;
            } while (used.count(number) != 0);
            if (number < 1 || number > 32767)
                throw std::runtime_error("no free sequence number " + std::string(before ? "before " : "after ") +
                                         toUtf8(key.first) + " for " + toUtf8(placements[item.index].row.action));
            used.insert(number);
            placements[item.index].row.number = number;
        }
    }
    return placements;
}

}  // namespace tidewell::add
