#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "common/text.h"
#include "demo.h"
#include "msi/action_data.h"
#include "test_fs.h"

namespace tidewell::demo {

namespace {
std::vector<Section>& sections() {
    static std::vector<Section> all;
    return all;
}
}  // namespace

Register::Register(Section section) { sections().push_back(section); }

void heading(const std::string& text) { std::printf("\n=== %s ===\n", text.c_str()); }

void say(const std::wstring& text) { std::printf("%s\n", toUtf8(text).c_str()); }

void showTree(const std::wstring& label, const std::wstring& folder) {
    say(label + L" " + folder + L":");
    const auto names = test::listTree(folder);
    if (!test::exists(folder)) say(L"    (folder does not exist)");
    else if (names.empty()) say(L"    (empty)");
    for (const auto& name : names) say(L"    " + name);
}

void showLibraryLog(const std::wstring& label, const test::RunResult& result) {
    say(label + L" (result " + std::to_wstring(result.code) + L"); the library's lines of the MSI log:");
    for (auto line : splitText(result.log, L'\n')) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.rfind(L"On", 0) == 0 || line.rfind(L"ScheduleProbe", 0) == 0) say(L"    " + line);
    }
}

}  // namespace tidewell::demo

int main() {
    using namespace tidewell::demo;
    auto& all = sections();
    std::sort(all.begin(), all.end(), [](const Section& a, const Section& b) { return a.order < b.order; });
    for (const auto& section : all) {
        heading(section.title);
        section.run();
    }
    std::printf("\nDemo finished.\n");
    return 0;
}
