#pragma once
// Fresh GUID texts for store folders and script names.
#include <string>

namespace tidewell {

// A new GUID as 38 characters: braces, upper-case hexadecimal; empty when none can be had.
std::wstring newGuidText();

// True when the text has the form that newGuidText gives.
bool isGuidText(const std::wstring& text);

}  // namespace tidewell
