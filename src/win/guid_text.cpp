#include "win/guid_text.h"

#include <windows.h>
#include <objbase.h>

namespace tidewell {

std::wstring newGuidText() {
    GUID guid{};
    if (::CoCreateGuid(&guid) != S_OK) return {};
    // Braces, upper-case hexadecimal digits and dashes, 38 characters.
    wchar_t text[39];
    if (::StringFromGUID2(guid, text, 39) != 39) return {};
    return text;
}

bool isGuidText(const std::wstring& text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const wchar_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) return false;
    }
    return true;
}

}  // namespace tidewell
