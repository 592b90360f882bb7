#include "common/text.h"

#include <windows.h>
#include <climits>
#include <cwctype>

namespace tidewell {

int parseDecimal(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::wstring concat(std::initializer_list<std::wstring_view> pieces) {
    size_t length = 0;
    for (const std::wstring_view piece : pieces) length += piece.size();
    std::wstring text;
    text.reserve(length);
    for (const std::wstring_view piece : pieces) text.append(piece);
    return text;
}

// Written out by hand: std::to_wstring goes through the C library's wide printf, which
// weighs more than the rest of this file many times over.
std::wstring toDecimal(long long value) {
    wchar_t digits[24];
    wchar_t* end = digits + 24;
    wchar_t* first = end;
    // Negative values are counted downwards, so that the smallest one needs no negation.
    long long rest = value;
    do {
        const long long digit = rest % 10;
        *--first = static_cast<wchar_t>(L'0' + (digit < 0 ? -digit : digit));
        rest /= 10;
    } while (rest != 0);
    if (value < 0) *--first = L'-';
    return std::wstring(first, end);
}

namespace {
std::string narrow(UINT codePage, const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(),
                              size, nullptr, nullptr);
    return result;
}

std::wstring widen(UINT codePage, const std::string& text) {
    if (text.empty()) return {};
    const int size =
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(size > 0 ? size : 0, L'\0');
    if (size > 0)
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}
}  // namespace

std::string toAnsi(const std::wstring& text) { return narrow(CP_ACP, text); }
std::wstring fromAnsi(const std::string& text) { return widen(CP_ACP, text); }
std::string toUtf8(const std::wstring& text) { return narrow(CP_UTF8, text); }
std::wstring fromUtf8(const std::string& text) { return widen(CP_UTF8, text); }

std::wstring asciiLower(std::wstring text) {
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

}  // namespace tidewell
