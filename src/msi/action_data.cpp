#include "msi/action_data.h"

#include <map>

#include "msi/session.h"

namespace tidewell {

std::vector<std::wstring> splitText(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    if (text.empty()) return parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        if (at == std::wstring::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

ActionData ActionData::fromSession(MSIHANDLE installer) {
    return ActionData(getProperty(installer, L"CustomActionData"));
}

bool ActionData::parse() {
    groups_.clear();
    if (text_.empty()) return false;
    for (const auto& groupText : splitText(text_, kGroupSeparator)) {
        ActionDataGroup group;
        for (const auto& recordText : splitText(groupText, kRecordSeparator))
            group.push_back(splitText(recordText, kFieldSeparator));
        groups_.push_back(std::move(group));
    }
    return true;
}

std::wstring ActionData::fieldAt(const ActionDataRecord& record, size_t index) {
    return index < record.size() ? record[index] : std::wstring();
}

std::wstring ActionData::findValue(const ActionDataGroup& group, const std::wstring& key) {
    for (const auto& record : group)
        if (!record.empty() && record[0] == key) return fieldAt(record, 1);
    return {};
}

bool holdsSeparator(const std::wstring& text) {
    return text.find_first_of(L"\x0001\x0002\x0003") != std::wstring::npos;
}

std::wstring stripSeparators(const std::wstring& text) {
    std::wstring kept;
    for (const wchar_t c : text)
        if (c != kFieldSeparator && c != kRecordSeparator && c != kGroupSeparator) kept += c;
    return kept;
}

std::wstring joinFields(const std::vector<std::wstring>& fields) {
    std::wstring text;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) text += kFieldSeparator;
        text += fields[i];
    }
    return text;
}

std::wstring joinRecords(const std::vector<ActionDataRecord>& records) {
    std::wstring text;
    for (size_t i = 0; i < records.size(); ++i) {
        if (i > 0) text += kRecordSeparator;
        text += joinFields(records[i]);
    }
    return text;
}

void appendProperties(MSIHANDLE installer, std::wstring& text, const std::vector<std::wstring>& names) {
    // std::wstring compares code unit by code unit; emplace keeps a name's first value.
    std::map<std::wstring, std::wstring> values;
    for (const auto& name : names) {
        std::wstring value = getProperty(installer, name);
        values.emplace(name, holdsSeparator(value) ? std::wstring() : std::move(value));
    }
    if (!text.empty()) text += kGroupSeparator;
    bool first = true;
    for (const auto& [name, value] : values) {
        if (!first) text += kRecordSeparator;
        first = false;
        text += name;
        text += kFieldSeparator;
        text += value;
    }
}

}  // namespace tidewell
