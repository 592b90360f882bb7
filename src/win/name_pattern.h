#pragma once
// File name patterns ("*" and "?") matched against long names only: the find functions
// also match a pattern against 8.3 short names, so that "*.tmp" finds "a.tmpl".
#include <string>

namespace tidewell {

// Case is ignored; "*.*" matches every name, and "x.*" also matches "x".
bool matchesNamePattern(const std::wstring& name, const std::wstring& pattern);

}  // namespace tidewell
