#include "probe.h"

#include "msi/action_data.h"
#include "test_fs.h"

namespace tidewell::test {

namespace {
const std::wstring kProbe = L"C:\\tw-probe";

std::wstring readWide(const std::wstring& path) {
    const std::string bytes = readFile(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}
}  // namespace

void clearProbe() { removeTree(kProbe); }

std::vector<std::wstring> probeLines(const std::wstring& file) {
    std::vector<std::wstring> lines = splitText(readWide(kProbe + L"\\" + file), L'\n');
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

std::vector<std::wstring> probeDeferredData() {
    std::vector<std::wstring> texts;
    for (int n = 0;; ++n) {
        const std::wstring path = kProbe + L"\\deferred-" + std::to_wstring(n) + L".bin";
        if (!exists(path)) break;
        texts.push_back(readWide(path));
    }
    return texts;
}

}  // namespace tidewell::test
