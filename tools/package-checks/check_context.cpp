#include "check_context.h"

#include <algorithm>

#include "check_codes.h"
#include "common/text.h"
#include "kit.h"

namespace tidewell::tools {

namespace {

constexpr int kSetPropertyType = 51;
constexpr int kTypeMask = 0x3F;  // code type and source bits

// Folders that Windows Installer sets itself, whatever the package's tables say.
constexpr const wchar_t* kInstallerFolders[] = {
    L"AdminToolsFolder", L"AppDataFolder", L"CommonAppDataFolder", L"CommonFiles64Folder", L"CommonFilesFolder",
    L"DesktopFolder", L"FavoritesFolder", L"FontsFolder", L"LocalAppDataFolder", L"MyPicturesFolder",
    L"NetHoodFolder", L"PersonalFolder", L"PrintHoodFolder", L"ProgramFiles64Folder", L"ProgramFilesFolder",
    L"ProgramMenuFolder", L"RecentFolder", L"SendToFolder", L"StartMenuFolder", L"StartupFolder",
    L"System16Folder", L"System64Folder", L"SystemFolder", L"TempFolder", L"TemplateFolder", L"WindowsFolder",
    L"WindowsVolume", L"ROOTDRIVE", L"SourceDir", L"TARGETDIR"};

}  // namespace

CheckContext::CheckContext(const MsiDatabase& package, std::optional<std::wstring> dllPath)
    : package_(package), kit_(loadKit()), dllPath_(std::move(dllPath)), conditions_(package.handle()) {
    for (const auto& row : rows(L"Property", {L"Property", L"Value"})) {
        properties_[row[0]] = row[1];
        setProperties_.insert(row[0]);
    }
    for (const auto& row : rows(L"CustomAction", {L"Type", L"Source"}))
        if ((parseDecimal(row[0]) & kTypeMask) == kSetPropertyType) setProperties_.insert(row[1]);
    for (const auto& row : rows(L"AppSearch", {L"Property"})) setProperties_.insert(row[0]);
    for (const wchar_t* folder : kInstallerFolders) setProperties_.insert(folder);
    for (const auto& row : rows(L"InstallExecuteSequence", {L"Action", L"Sequence"}))
        if (!row[1].empty()) sequence_[row[0]] = parseDecimal(row[1]);
}

bool CheckContext::hasTable(const std::wstring& table) const { return package_.hasTable(table); }

std::vector<TextRow> CheckContext::rows(const std::wstring& table, const std::vector<std::wstring>& columns) const {
    if (!hasTable(table)) return {};
    // A column the table lacks reads as empty, so that the checks of the other columns go on.
    const TableSchema schema = package_.schema(table);
    std::vector<int> at;  // index into the selected columns, or -1
    std::wstring names;
    int selected = 0;
    for (const auto& column : columns) {
        const bool present = std::find(schema.columns.begin(), schema.columns.end(), column) != schema.columns.end();
        at.push_back(present ? selected++ : -1);
        if (present) names += (names.empty() ? L"" : L", ") + quoted(column);
    }
    if (selected == 0) return {};
    std::vector<TextRow> result;
    for (const auto& row : package_.select(L"SELECT " + names + L" FROM " + quoted(table))) {
        TextRow full;
        for (const int index : at) full.push_back(index < 0 ? std::wstring() : row.at(static_cast<size_t>(index)));
        result.push_back(std::move(full));
    }
    return result;
}

std::optional<std::wstring> CheckContext::propertyValue(const std::wstring& property) const {
    const auto found = properties_.find(property);
    if (found == properties_.end()) return std::nullopt;
    return found->second;
}

bool CheckContext::isPropertySet(const std::wstring& property) const { return setProperties_.contains(property); }

std::optional<int> CheckContext::sequenceNumber(const std::wstring& action) const {
    const auto found = sequence_.find(action);
    if (found == sequence_.end()) return std::nullopt;
    return found->second;
}

void CheckContext::report(const std::wstring& code, const std::wstring& table, const std::wstring& row,
                          const std::wstring& detail) {
    result_.findings.push_back({checkCode(code).severity, code, table, row, detail});
}

}  // namespace tidewell::tools
