#include "undo/undo_store.h"

#include <windows.h>

#include "common/text.h"
#include "win/guid_text.h"

namespace tidewell {

void UndoStore::serialise(JournalFields& fields) {
    fields.boolean(prepared_);
    fields.boolean(finishOnDestroy_);
    fields.textMap(storedOf_);
    fields.textMap(pathOf_);
    fields.int32(counter_);
    fields.text(location_);
}

const std::wstring& UndoStore::location() {
    if (location_.empty()) location_ = prepareLocation();
    return location_;
}

void UndoStore::adoptRecorded(const std::wstring& location, const std::map<std::wstring, std::wstring>& items) {
    location_ = location;
    prepared_ = true;
    finishOnDestroy_ = true;
    storedOf_.clear();
    pathOf_.clear();
    counter_ = 0;
    for (const auto& [path, item] : items) {
        storedOf_[path] = item;
        pathOf_[item] = path;
        const long long number = itemNumber(item.size() > location.size() + 1 ? item.substr(location.size() + 1) : L"");
        if (number >= counter_) counter_ = static_cast<std::int32_t>(number + 1);
    }
}

void UndoStore::keep() {
    prepared_ = false;
    finishOnDestroy_ = false;
    location_.clear();
}

std::wstring UndoStore::record(const std::wstring& path, const std::wstring& leaf) {
    std::wstring item = concat({location_, L"\\", toDecimal(counter_)});
    if (!leaf.empty()) item += concat({L"\\", leaf});
    storedOf_[path] = item;
    pathOf_[item] = path;
    ++counter_;
    return item;
}

void UndoStore::forget(const std::wstring& path) {
    const auto found = storedOf_.find(path);
    if (found == storedOf_.end()) return;
    pathOf_.erase(found->second);
    storedOf_.erase(found);
}

void UndoStore::forgetAll() {
    storedOf_.clear();
    pathOf_.clear();
}

bool isGuidChildOf(const std::wstring& location, const std::wstring& base) {
    if (base.empty() || location.size() != base.size() + 1 + 38) return false;
    if (::CompareStringOrdinal(location.c_str(), static_cast<int>(base.size()), base.c_str(),
                               static_cast<int>(base.size()), TRUE) != CSTR_EQUAL)
        return false;
    return location[base.size()] == L'\\' && isGuidText(location.substr(base.size() + 1));
}

bool UndoStore::isConsistent() const {
    if (counter_ < 0 || storedOf_.size() != pathOf_.size()) return false;
    if (location_.empty()) return storedOf_.empty();
    if (!isStoreLocation(location_)) return false;
    for (const auto& [path, item] : storedOf_) {
        const auto back = pathOf_.find(item);
        if (path.empty() || back == pathOf_.end() || back->second != path) return false;
        if (item.size() <= location_.size() + 1 || item.compare(0, location_.size(), location_) != 0 ||
            item[location_.size()] != L'\\')
            return false;
        const long long number = itemNumber(item.substr(location_.size() + 1));
        if (number < 0 || number >= counter_) return false;
    }
    return true;
}

long long UndoStore::itemNumber(const std::wstring& rest) const {
    if (rest.empty() || rest.size() > 10 || rest.find_first_not_of(L"0123456789") != std::wstring::npos) return -1;
    return std::stoll(rest);
}

std::vector<std::wstring> UndoStore::storedPaths() const {
    std::vector<std::wstring> paths;
    for (const auto& entry : storedOf_) paths.push_back(entry.first);
    return paths;
}

bool UndoStore::restoreAll(RestoreReport* report) {
    bool all = true;
    for (const auto& path : storedPaths()) {
        const std::wstring stored = storedOf_.at(path);
        const bool restored = restoreItem(path);
        if (report) report->onItem(*this, path, stored, restored);
        all = restored && all;
    }
    return all;
}

}  // namespace tidewell
