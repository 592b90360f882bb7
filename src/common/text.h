#pragma once
// Text helpers shared by every subsystem: the one decimal conversion used for table
// and work-list numbers, and the conversions at the narrow edges.
#include <initializer_list>
#include <string>
#include <string_view>

namespace tidewell {

// Leading white space skipped, one optional sign, digits up to the first other
// character; no digits give 0. Values beyond 32 bits saturate.
int parseDecimal(const std::wstring& text);

// The pieces joined into one string, allocated once. Log lines and paths are built with
// it rather than with "+", whose every step makes a temporary string to destroy.
std::wstring concat(std::initializer_list<std::wstring_view> pieces);

// Decimal digits with a leading "-" for negative values.
std::wstring toDecimal(long long value);

// UTF-16 to the ANSI code page and back; characters the code page lacks are lost.
std::string toAnsi(const std::wstring& text);
std::wstring fromAnsi(const std::string& text);

// UTF-16 to UTF-8 (for messages that arrive as narrow text, such as exception texts).
std::wstring fromUtf8(const std::string& text);
std::string toUtf8(const std::wstring& text);

// ASCII letters folded to lower case; other characters kept.
std::wstring asciiLower(std::wstring text);

}  // namespace tidewell
