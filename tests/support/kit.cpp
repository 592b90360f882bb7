#include "kit.h"

#include <stdexcept>

#include "common/text.h"
#include "kit_files.h"

namespace tidewell::test {

std::vector<Row> kitRows(const std::wstring& fileName) {
    for (const auto& file : kit::kKitFiles) {
        if (fromAnsi(file.name) != fileName) continue;
        const std::string text(reinterpret_cast<const char*>(file.bytes), file.size);
        std::vector<Row> rows;
        size_t lineNumber = 0;
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (++lineNumber <= 3 || line.empty()) continue;  // column names, types, table and keys
            Row row;
            for (size_t at = 0;;) {
                const size_t tab = line.find('\t', at);
                row.push_back(fromAnsi(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at)));
                if (tab == std::string::npos) break;
                at = tab + 1;
            }
            rows.push_back(row);
        }
        return rows;
    }
    throw std::runtime_error("the kit has no " + toUtf8(fileName));
}

Row kitRow(const std::wstring& fileName, const std::wstring& action) {
    for (const auto& row : kitRows(fileName))
        if (row.at(0) == action) return row;
    throw std::runtime_error(toUtf8(fileName) + " has no row " + toUtf8(action));
}

}  // namespace tidewell::test
