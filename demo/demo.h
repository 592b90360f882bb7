#pragma once
// The demo: each section (a file of its own in this folder) builds a package with the
// freshly built Tidewell.dll, runs it under Windows Installer and prints what was there
// before, what the library did and what is there after.
#include <string>
#include <vector>

#include "package.h"

namespace tidewell::demo {

struct Section {
    int order;
    const char* title;
    void (*run)();
};

// Registers a section; sections run in order.
struct Register {
    explicit Register(Section section);
};

void heading(const std::string& text);
void say(const std::wstring& text);
// The library's lines of the run's MSI log (those that start with one of its export
// names), in the order they were written; with `exports` given, only the lines of those exports.
std::vector<std::wstring> libraryLogLines(const tidewell::test::RunResult& result,
                                          const std::vector<std::wstring>& exports = {});
// The run's result and the library's lines of its MSI log (filtered as above).
void showLibraryLog(const std::wstring& label, const tidewell::test::RunResult& result,
                    const std::vector<std::wstring>& exports = {});
// The library's lines (filtered as above) grouped under the export that wrote them, the
// exports in the order they first wrote; everything indented by `indent`.
void showLibraryLogByExport(const tidewell::test::RunResult& result, const std::vector<std::wstring>& exports,
                            const std::wstring& indent);

}  // namespace tidewell::demo
