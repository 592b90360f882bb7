#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/text.h"
#include "demo.h"
#include "msi/action_data.h"

namespace tidewell::demo {

namespace {
std::vector<Section>& sections() {
    static std::vector<Section> all;
    return all;
}

// The export that wrote a log line: the text before ": " when it names one of ours.
std::wstring exportOf(const std::wstring& line) {
    const auto colon = line.find(L": ");
    if (colon == std::wstring::npos) return {};
    const std::wstring name = line.substr(0, colon);
    const bool ours = name.rfind(L"On", 0) == 0 || name == L"ScheduleProbe";
    const bool oneWord = name.find_first_of(L" \t") == std::wstring::npos;
    return ours && oneWord ? name : std::wstring();
}
}  // namespace

Register::Register(Section section) { sections().push_back(section); }

void heading(const std::string& text) { std::printf("\n=== %s ===\n", text.c_str()); }

void say(const std::wstring& text) { std::printf("%s\n", toUtf8(text).c_str()); }

std::vector<std::wstring> libraryLogLines(const test::RunResult& result, const std::vector<std::wstring>& exports) {
    std::vector<std::wstring> lines;
    for (auto line : splitText(result.log, L'\n')) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        const std::wstring name = exportOf(line);
        if (name.empty()) continue;
        if (exports.empty() || std::find(exports.begin(), exports.end(), name) != exports.end()) lines.push_back(line);
    }
    return lines;
}

void showLibraryLog(const std::wstring& label, const test::RunResult& result, const std::vector<std::wstring>& exports) {
    say(label + L" (result " + std::to_wstring(result.code) + L"); the library's lines of the MSI log:");
    for (const auto& line : libraryLogLines(result, exports)) say(L"    " + line);
}

void showLibraryLogByExport(const test::RunResult& result, const std::vector<std::wstring>& exports,
                            const std::wstring& indent) {
    const auto lines = libraryLogLines(result, exports);
    if (lines.empty()) say(indent + L"(no lines)");
    std::vector<std::wstring> order;
    for (const auto& line : lines) {
        const std::wstring name = exportOf(line);
        if (std::find(order.begin(), order.end(), name) == order.end()) order.push_back(name);
    }
    for (const auto& name : order) {
        say(indent + name + L":");
        for (const auto& line : lines)
            if (exportOf(line) == name) say(indent + L"    " + line.substr(name.size() + 2));
    }
}

}  // namespace tidewell::demo

// With arguments, runs only the sections of those order numbers (tidewell_demo.exe 20 30).
int main(int argc, char** argv) {
    using namespace tidewell::demo;
    auto& all = sections();
    std::sort(all.begin(), all.end(), [](const Section& a, const Section& b) { return a.order < b.order; });
    std::vector<int> chosen;
    for (int i = 1; i < argc; ++i) chosen.push_back(std::atoi(argv[i]));
    for (const auto& section : all) {
        if (!chosen.empty() && std::find(chosen.begin(), chosen.end(), section.order) == chosen.end()) continue;
        heading(section.title);
        section.run();
    }
    std::printf("\nDemo finished.\n");
    return 0;
}
