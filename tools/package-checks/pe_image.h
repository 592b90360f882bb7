#pragma once
// What the tools read from a DLL's bytes without loading it: the names it exports and
// the version in its VERSIONINFO resource. A package's Binary stream is read this way,
// so that a DLL for another machine or a damaged one is never run.
#include <optional>
#include <set>
#include <string>

namespace tidewell::tools {

struct PeImage {
    std::set<std::wstring> exports;      // names of the export directory
    std::optional<std::wstring> version; // file version "a.b.c" (".d" when not 0)
};

// Reads a PE image (32 or 64 bit); nullopt when the bytes are not one.
std::optional<PeImage> readPeImage(const std::string& bytes);

}  // namespace tidewell::tools
