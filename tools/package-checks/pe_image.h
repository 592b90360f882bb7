#pragma once
// What the tools read from a DLL's bytes without loading it: the names it exports and
// the version in its VERSIONINFO resource. A package's Binary stream is read this way,
// so that a DLL for another machine or a damaged one is never run.
#include <optional>
#include <set>
#include <string>

namespace tidewell::tools {

inline constexpr unsigned kMachineX86 = 0x014C;  // IMAGE_FILE_MACHINE_I386: Tidewell.dll
inline constexpr unsigned kMachineX64 = 0x8664;  // IMAGE_FILE_MACHINE_AMD64: Tidewell64.dll

struct PeImage {
    std::set<std::wstring> exports;      // names of the export directory
    std::optional<std::wstring> version; // file version "a.b.c" (".d" when not 0)
    unsigned machine = 0;                // the file header's machine type
};

// The library's file name for an image's machine type: "Tidewell64.dll" for x64, else
// "Tidewell.dll".
std::wstring libraryFileName(unsigned machine);
// Whether a package of the Template platform ("Intel", "x64") can run a DLL of the
// machine type: x64 Windows runs 32-bit custom actions too, 32-bit Windows only those.
bool runsOnPlatform(unsigned machine, const std::wstring& platform);

// Reads a PE image (32 or 64 bit); nullopt when the bytes are not one.
std::optional<PeImage> readPeImage(const std::string& bytes);

}  // namespace tidewell::tools
