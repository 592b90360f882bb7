#include "win/name_pattern.h"

#include <windows.h>

namespace tidewell {

namespace {

std::wstring upper(std::wstring text) {
    if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool matches(const std::wstring& name, const std::wstring& pattern) {
    size_t n = 0, p = 0, starP = std::wstring::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++n, ++p;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

}  // namespace

bool matchesNamePattern(const std::wstring& name, const std::wstring& pattern) {
    const std::wstring n = upper(name);
    const std::wstring p = upper(pattern);
    if (p == L"*.*" || matches(n, p)) return true;
    return p.size() >= 2 && p.compare(p.size() - 2, 2, L".*") == 0 && matches(n, p.substr(0, p.size() - 2));
}

}  // namespace tidewell
