#pragma once
// The demo: each feature adds one section (a file of its own in this folder) that
// builds a package with the freshly built Tidewell.dll, runs it under Windows Installer
// and prints what was there before, what the library did and what is there after.
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
// The folder's tree, one entry per line, or "(nothing)".
void showTree(const std::wstring& label, const std::wstring& folder);
// The library's lines of the run's MSI log (those that start with one of its action
// names), and the run's result.
void showLibraryLog(const std::wstring& label, const tidewell::test::RunResult& result);

}  // namespace tidewell::demo
