#pragma once
// The CustomActionData text: groups separated by U+0003, records by U+0002, fields by
// U+0001, with no escaping. Every work list of the library travels in it.
#include <windows.h>
#include <msi.h>
#include <string>
#include <vector>

namespace tidewell {

inline constexpr wchar_t kGroupSeparator = L'\x0003';
inline constexpr wchar_t kRecordSeparator = L'\x0002';
inline constexpr wchar_t kFieldSeparator = L'\x0001';

using ActionDataRecord = std::vector<std::wstring>;
using ActionDataGroup = std::vector<ActionDataRecord>;

// Splits at every separator; the empty text gives no parts, a trailing separator an
// empty last part.
std::vector<std::wstring> splitText(const std::wstring& text, wchar_t separator);

class ActionData {
public:
    // From the session's CustomActionData property (empty when it cannot be read).
    static ActionData fromSession(MSIHANDLE installer);
    explicit ActionData(std::wstring text) : text_(std::move(text)) {}

    // Fills the groups from the text; false for the empty text.
    bool parse();

    const std::wstring& text() const { return text_; }
    size_t groupCount() const { return groups_.size(); }
    const ActionDataGroup& group(size_t index) const { return groups_.at(index); }

    // The field, or the empty text past the end of the record.
    static std::wstring fieldAt(const ActionDataRecord& record, size_t index);
    // Field 1 of the first record whose field 0 is exactly the key; empty when none.
    static std::wstring findValue(const ActionDataGroup& group, const std::wstring& key);

private:
    std::wstring text_;
    std::vector<ActionDataGroup> groups_;
};

// True when the text holds one of the three separators, which nothing in the text escapes.
bool holdsSeparator(const std::wstring& text);
// The text without them.
std::wstring stripSeparators(const std::wstring& text);

// Joins the fields of one record.
std::wstring joinFields(const std::vector<std::wstring>& fields);
// Joins records into one row group: fields by U+0001, records by U+0002.
std::wstring joinRecords(const std::vector<ActionDataRecord>& records);

// Extends the text with a property group: one record (name, value) per property, in
// ordinal order of the names; U+0003 goes before it only when the text is not empty. A
// value that holds a separator is written empty.
void appendProperties(MSIHANDLE installer, std::wstring& text, const std::vector<std::wstring>& names);

}  // namespace tidewell
