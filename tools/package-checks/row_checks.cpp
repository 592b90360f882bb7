// The rows of the library's tables, each joined with the standard row it extends: the
// values that the library reads must mean something to it.
#include <regex>

#include "check_context.h"
#include "common/text.h"

namespace tidewell::tools {

namespace {

bool isInteger(const std::wstring& text) { return std::regex_match(text, std::wregex(L"\\s*-?[0-9]+\\s*")); }

bool inRange(const std::wstring& text, int low, int high) {
    if (!isInteger(text)) return false;
    const int value = parseDecimal(text);
    return value >= low && value <= high;
}

// The rows of a standard table by key, with the named columns (the key first).
std::map<std::wstring, TextRow> standardRows(const CheckContext& context, const std::wstring& table,
                                             const std::vector<std::wstring>& columns) {
    std::map<std::wstring, TextRow> rows;
    if (!context.hasTable(table)) return rows;
    try {
        for (auto& row : context.rows(table, columns)) rows.emplace(row[0], row);
    } catch (const std::runtime_error&) {
        // A standard table without the standard columns: the installer's validation reports it.
    }
    return rows;
}

class RowChecks {
public:
    explicit RowChecks(CheckContext& context) : context_(context) {
        for (const auto& row : context.rows(L"Component", {L"Component"})) components_.insert(row[0]);
        for (const auto& row : context.rows(L"Directory", {L"Directory"})) directories_.insert(row[0]);
    }

    void removeFile() {
        if (!context_.isReadable(L"VU_RemoveFile")) return;
        const auto standard =
            standardRows(context_, L"RemoveFile", {L"FileKey", L"Component_", L"DirProperty", L"InstallMode"});
        for (const auto& row : context_.rows(L"VU_RemoveFile", {L"RemoveFile", L"Condition", L"Options"})) {
            const std::wstring& key = row[0];
            condition(L"VU_RemoveFile", key, row[1]);
            if (!row[2].empty() && !inRange(row[2], 0, 3))
                context_.report(L"options", L"VU_RemoveFile", key, L"Options is " + row[2]);
            const auto found = standard.find(key);
            if (found == standard.end()) continue;
            component(L"RemoveFile", key, found->second[1]);
            folder(L"RemoveFile", key, L"DirProperty", found->second[2]);
            if (!inRange(found->second[3], 1, 3))
                context_.report(L"install-mode", L"RemoveFile", key, L"InstallMode is '" + found->second[3] + L"'");
            upgradeCondition(L"VU_RemoveFile", key, found->second[3], row[1]);
        }
    }

    void removeRegistry() {
        if (!context_.isReadable(L"VU_RemoveRegistry")) return;
        const auto standard =
            standardRows(context_, L"RemoveRegistry", {L"RemoveRegistry", L"Root", L"Key", L"Component_"});
        for (const auto& row : context_.rows(L"VU_RemoveRegistry", {L"RemoveReg", L"InstallMode", L"Condition"})) {
            const std::wstring& key = row[0];
            if (!row[1].empty() && !inRange(row[1], 1, 3))
                context_.report(L"install-mode", L"VU_RemoveRegistry", key, L"InstallMode is " + row[1]);
            condition(L"VU_RemoveRegistry", key, row[2]);
            upgradeCondition(L"VU_RemoveRegistry", key, row[1], row[2]);
            const auto found = standard.find(key);
            if (found == standard.end()) continue;
            if (!inRange(found->second[1], -1, 3))
                context_.report(L"root", L"RemoveRegistry", key, L"Root is " + found->second[1]);
            registryKey(key, found->second[2]);
            component(L"RemoveRegistry", key, found->second[3]);
        }
    }

    void moveFile() {
        if (!context_.isReadable(L"VU_MoveFile")) return;
        const auto standard =
            standardRows(context_, L"MoveFile", {L"FileKey", L"Component_", L"SourceFolder", L"DestFolder"});
        for (const auto& row : context_.rows(L"VU_MoveFile", {L"MoveFile", L"Condition", L"ExtendedOptions"})) {
            const std::wstring& key = row[0];
            condition(L"VU_MoveFile", key, row[1]);
            if (!row[2].empty() && !inRange(row[2], 0, 3))
                context_.report(L"extended-options", L"VU_MoveFile", key, L"ExtendedOptions is " + row[2]);
            const auto found = standard.find(key);
            if (found == standard.end()) continue;
            component(L"MoveFile", key, found->second[1]);
            folder(L"MoveFile", key, L"SourceFolder", found->second[2]);
            folder(L"MoveFile", key, L"DestFolder", found->second[3]);
        }
    }

    void persistentData() {
        if (!context_.isReadable(L"VU_PersistentData")) return;
        for (const auto& row : context_.rows(L"VU_PersistentData", {L"PersistentRow", L"Type", L"Condition", L"Path"})) {
            condition(L"VU_PersistentData", row[0], row[2]);
            if (isRootPath(row[1], row[3]))
                context_.report(L"root-path", L"VU_PersistentData", row[0], L"Path '" + row[3] + L"' is a root");
        }
    }

private:
    // A row that acts at uninstallation (install mode 2 or 3) also acts when a major
    // upgrade uninstalls the old version, unless its condition leaves the upgrade out.
    void upgradeCondition(const std::wstring& table, const std::wstring& key, const std::wstring& installMode,
                          const std::wstring& text) {
        if (!context_.hasTable(L"Upgrade") || !(inRange(installMode, 2, 3))) return;
        static const std::wregex excludes(L"NOT\\s*\\(?\\s*UPGRADINGPRODUCTCODE\\b|UPGRADINGPRODUCTCODE\\s*=\\s*\"\"",
                                          std::regex::icase);
        if (std::regex_search(text, excludes)) return;
        context_.report(L"upgrade-removal-condition", table, key,
                        L"it acts at uninstallation and its condition '" + text +
                            L"' does not exclude UPGRADINGPRODUCTCODE: at the next major upgrade the old version's "
                            L"uninstallation runs it and removes what the new version installed or restored");
    }

    void condition(const std::wstring& table, const std::wstring& key, const std::wstring& text) {
        if (context_.conditions().isSyntaxError(text))
            context_.report(L"condition-syntax", table, key, L"Condition '" + text + L"' does not parse");
    }

    void component(const std::wstring& table, const std::wstring& key, const std::wstring& name) {
        if (!components_.contains(name))
            context_.report(L"unknown-component", table, key, L"Component_ '" + name + L"' is not in the Component table");
    }

    void folder(const std::wstring& table, const std::wstring& key, const std::wstring& column, const std::wstring& name) {
        if (name.empty() || directories_.contains(name) || context_.isPropertySet(name)) return;
        context_.report(L"unknown-folder", table, key,
                        column + L" '" + name + L"' is neither a Directory row nor a property the package sets");
    }

    // A key such as "[APPKEY]" or "[A]\[B]": without its properties it is empty, and the
    // removal then reaches the key above.
    void registryKey(const std::wstring& key, const std::wstring& text) {
        static const std::wregex reference(L"\\[([^\\[\\]]+)\\]");
        bool mayBeUnset = false;
        for (std::wsregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) {
            const std::wstring name = (*it)[1].str();
            const auto value = context_.propertyValue(name);
            if (!value || value->empty()) mayBeUnset = true;
        }
        const std::wstring literalPart = std::regex_replace(text, reference, L"");
        const bool onlyReferences = literalPart.find_first_not_of(L"\\ ") == std::wstring::npos;
        if (onlyReferences && mayBeUnset)
            context_.report(L"key-may-be-empty", L"RemoveRegistry", key,
                            L"Key '" + text + L"' is made only of property references that may be unset");
    }

    // A drive or share root, a whole registry root, or a property whose value is one.
    bool isRootPath(const std::wstring& type, const std::wstring& path) const {
        static const std::wregex registryRoot(L"\\s*-?[0-9]+\\s*\\\\*\\s*");
        if (type == L"2") return std::regex_match(path, registryRoot);
        std::wstring text = path;
        static const std::wregex single(L"\\[([^\\[\\]]+)\\]\\\\*");
        std::wsmatch match;
        if (std::regex_match(text, match, single)) {
            const std::wstring name = match[1].str();
            if (name == L"WindowsVolume" || name == L"ROOTDRIVE") return true;
            const auto value = context_.propertyValue(name);
            if (!value) return false;
            text = *value;
        }
        static const std::wregex root(L"([A-Za-z]:|\\\\\\\\[^\\\\]+\\\\[^\\\\]+|HKEY_[A-Z_]+|HK(LM|CU|CR|U))\\\\*",
                                      std::regex::icase);
        return std::regex_match(text, root);
    }

    CheckContext& context_;
    std::set<std::wstring> components_;
    std::set<std::wstring> directories_;
};

}  // namespace

void checkRows(CheckContext& context) {
    RowChecks checks(context);
    checks.removeFile();
    checks.removeRegistry();
    checks.moveFile();
    checks.persistentData();
}

}  // namespace tidewell::tools
