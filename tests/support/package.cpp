#include "package.h"

#include <msidefs.h>
#include <msiquery.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>

#include "common/text.h"
#include "common/unique_any.h"
#include "finding.h"
#include "msi/session.h"
#include "msi_database.h"
#include "package_checks.h"
#include "test_fs.h"
#include "win/paths.h"

namespace tidewell::test {

namespace {

// Every test program starts clean of what an earlier one left when it was ended before
// its end (a test ended at its timeout, say): the stores, the removal's journal files and
// the registry store. Children that a test starts to end them on purpose keep the state
// their parent laid down.
class Leftovers final : public testing::Environment {
public:
    void SetUp() override {
        // ctest runs every test with disabled tests allowed; a child names its DISABLED_ test.
        if (std::string(GTEST_FLAG_GET(filter)).find("DISABLED_") != std::string::npos) return;
        for (const auto& bin : recycleBins()) removeUnixTree(bin);
        if (exists(tempFolder() + L"VU_RecycleBin")) removeUnixTree(tempFolder() + L"VU_RecycleBin");
        deleteJournalFiles();
        regDeleteTree(HKEY_CURRENT_USER, L"Software\\VU_RecycleBin");
    }
};

[[maybe_unused]] testing::Environment* const g_leftovers = testing::AddGlobalTestEnvironment(new Leftovers);

// The library's lines of every installation a test ran, printed when the test fails: a
// failure in a run far away (CI) then shows what the library decided.
std::vector<std::wstring> g_libraryLines;

class LibraryLinesOnFailure final : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override { g_libraryLines.clear(); }
    void OnTestEnd(const testing::TestInfo& test) override {
        if (test.result() == nullptr || !test.result()->Failed() || g_libraryLines.empty()) return;
        std::printf("The library's lines of the runs in this test:\n");
        for (const auto& line : g_libraryLines) std::printf("  %s\n", toUtf8(line).c_str());
        std::fflush(stdout);
    }
};

// Lines that the library's actions wrote ("OnVu...: ..." and the like) into a run's log.
void collectLibraryLines(const std::wstring& log) {
    g_libraryLines.push_back(L"-- run --");
    for (size_t start = 0; start < log.size();) {
        size_t end = log.find(L'\n', start);
        if (end == std::wstring::npos) end = log.size();
        std::wstring line = log.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == L'\r' || line.back() == L' ')) line.pop_back();
        const size_t colon = line.find(L": ");
        if (line.size() > 2 && line.compare(0, 2, L"On") == 0 && colon != std::wstring::npos &&
            line.find(L' ') > colon)
            g_libraryLines.push_back(line);
    }
}

struct ListenerInstaller {
    ListenerInstaller() { testing::UnitTest::GetInstance()->listeners().Append(new LibraryLinesOnFailure); }
};
[[maybe_unused]] const ListenerInstaller g_listenerInstaller;

}  // namespace

namespace {

struct Column {
    const wchar_t* name;
    const wchar_t* type;  // SQL type text
    bool integer;
    bool stream;
};

struct Schema {
    std::vector<Column> columns;
    const wchar_t* keys;  // PRIMARY KEY list
};

#define S72 L"CHAR(72) NOT NULL", false, false
#define S72N L"CHAR(72)", false, false
#define S255N L"CHAR(255)", false, false
#define L255 L"CHAR(255) NOT NULL LOCALIZABLE", false, false
#define L255N L"CHAR(255) LOCALIZABLE", false, false
#define L0N L"CHAR(0) LOCALIZABLE", false, false
#define I2 L"SHORT NOT NULL", true, false
#define I2N L"SHORT", true, false
#define I4N L"LONG", true, false

const std::map<std::wstring, Schema>& schemas() {
    static const std::map<std::wstring, Schema> all = {
        {L"Property", {{{L"Property", S72}, {L"Value", L"CHAR(0) NOT NULL LOCALIZABLE", false, false}}, L"`Property`"}},
        {L"Directory", {{{L"Directory", S72}, {L"Directory_Parent", S72N}, {L"DefaultDir", L255}}, L"`Directory`"}},
        {L"Component",
         {{{L"Component", S72}, {L"ComponentId", L"CHAR(38)", false, false}, {L"Directory_", S72},
           {L"Attributes", I2}, {L"Condition", S255N}, {L"KeyPath", S72N}},
          L"`Component`"}},
        {L"Feature",
         {{{L"Feature", L"CHAR(38) NOT NULL", false, false}, {L"Feature_Parent", L"CHAR(38)", false, false},
           {L"Title", L"CHAR(64) LOCALIZABLE", false, false}, {L"Description", L255N}, {L"Display", I2N},
           {L"Level", I2}, {L"Directory_", S72N}, {L"Attributes", I2}},
          L"`Feature`"}},
        {L"FeatureComponents", {{{L"Feature_", L"CHAR(38) NOT NULL", false, false}, {L"Component_", S72}},
                                L"`Feature_`, `Component_`"}},
        {L"InstallExecuteSequence", {{{L"Action", S72}, {L"Condition", S255N}, {L"Sequence", I2N}}, L"`Action`"}},
        {L"CustomAction",
         {{{L"Action", S72}, {L"Type", I2}, {L"Source", S72N}, {L"Target", L"CHAR(255)", false, false}}, L"`Action`"}},
        {L"Binary", {{{L"Name", S72}, {L"Data", L"OBJECT", false, true}}, L"`Name`"}},
        {L"Error", {{{L"Error", I2}, {L"Message", L0N}}, L"`Error`"}},
        {L"ActionText", {{{L"Action", S72}, {L"Description", L0N}, {L"Template", L0N}}, L"`Action`"}},
        {L"RemoveFile",
         {{{L"FileKey", S72}, {L"Component_", S72}, {L"FileName", L255N}, {L"DirProperty", S72}, {L"InstallMode", I2}},
          L"`FileKey`"}},
        {L"RemoveRegistry",
         {{{L"RemoveRegistry", S72}, {L"Root", I2}, {L"Key", L255}, {L"Name", L255N}, {L"Component_", S72}},
          L"`RemoveRegistry`"}},
        {L"MoveFile",
         {{{L"FileKey", S72}, {L"Component_", S72}, {L"SourceName", L255N}, {L"DestName", L255N},
           {L"SourceFolder", S72N}, {L"DestFolder", S72}, {L"Options", I2}},
          L"`FileKey`"}},
        {L"Registry",
         {{{L"Registry", S72}, {L"Root", I2}, {L"Key", L255}, {L"Name", L255N}, {L"Value", L0N}, {L"Component_", S72}},
          L"`Registry`"}},
        {L"CreateFolder", {{{L"Directory_", S72}, {L"Component_", S72}}, L"`Directory_`, `Component_`"}},
        {L"VU_RemoveFile", {{{L"RemoveFile", S72}, {L"Condition", S255N}, {L"Options", I2N}}, L"`RemoveFile`"}},
        {L"VU_RemoveRegistry",
         {{{L"RemoveReg", S72}, {L"InstallMode", I2N}, {L"Condition", S255N}, {L"DisableWOWRedirection", I2N}},
          L"`RemoveReg`"}},
        {L"VU_MoveFile", {{{L"MoveFile", S72}, {L"Condition", S255N}, {L"ExtendedOptions", I2N}}, L"`MoveFile`"}},
        {L"VU_PersistentData",
         {{{L"PersistentRow", S72}, {L"Type", I2N}, {L"Condition", S255N}, {L"Path", L"CHAR(0)", false, false}},
          L"`PersistentRow`"}},
        {L"Upgrade",
         {{{L"UpgradeCode", L"CHAR(38) NOT NULL", false, false}, {L"VersionMin", L"CHAR(20)", false, false},
           {L"VersionMax", L"CHAR(20)", false, false}, {L"Language", S255N}, {L"Attributes", L"LONG NOT NULL", true, false},
           {L"Remove", S255N}, {L"ActionProperty", S72}},
          L"`UpgradeCode`, `VersionMin`, `VersionMax`, `Language`, `Attributes`"}},
        // A table the tests' own actions read.
        {L"TW_SelectCase",
         {{{L"Case", S72}, {L"Component_", S72}, {L"Condition", S255N}, {L"InstallMode", S72N}}, L"`Case`"}},
    };
    return all;
}

void check(UINT result, const std::wstring& what) {
    if (result != ERROR_SUCCESS)
        throw std::runtime_error(toUtf8(what) + " failed with " + std::to_string(result));
}

void execute(MSIHANDLE db, const std::wstring& sql, MSIHANDLE record = 0) {
    unique_msihandle view;
    check(MsiDatabaseOpenViewW(db, sql.c_str(), view.put()), L"open view: " + sql);
    check(MsiViewExecute(view.get(), record), L"execute: " + sql);
}

void createTable(MSIHANDLE db, const std::wstring& name) {
    const auto found = schemas().find(name);
    if (found == schemas().end()) throw std::runtime_error("no schema for table " + toUtf8(name));
    std::wstring sql = L"CREATE TABLE `" + name + L"` (";
    const auto& columns = found->second.columns;
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? L", `" : L"`") + std::wstring(columns[i].name) + L"` " + columns[i].type;
    sql += L" PRIMARY KEY " + std::wstring(found->second.keys) + L")";
    execute(db, sql);
}

void insertRow(MSIHANDLE db, const std::wstring& table, const Row& row) {
    const Schema& schema = schemas().at(table);
    if (row.size() != schema.columns.size())
        throw std::runtime_error("row of " + toUtf8(table) + " has " + std::to_string(row.size()) + " fields");
    std::wstring names, marks;
    const unique_msihandle record(MsiCreateRecord(static_cast<UINT>(row.size())));
    for (size_t i = 0; i < row.size(); ++i) {
        const Column& column = schema.columns[i];
        names += (i ? L", `" : L"`") + std::wstring(column.name) + L"`";
        marks += i ? L", ?" : L"?";
        const UINT field = static_cast<UINT>(i + 1);
        if (row[i].empty()) continue;  // null
        if (column.stream)
            check(MsiRecordSetStreamW(record.get(), field, row[i].c_str()), L"stream " + row[i]);
        else if (column.integer)
            MsiRecordSetInteger(record.get(), field, std::stoi(row[i]));
        else
            MsiRecordSetStringW(record.get(), field, row[i].c_str());
    }
    execute(db, L"INSERT INTO `" + table + L"` (" + names + L") VALUES (" + marks + L")", record.get());
}

std::wstring readLog(const std::wstring& path) {
    const std::string bytes = readFile(path);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    return fromAnsi(bytes);
}

// The external UI handler of the running installation (one at a time: Windows
// Installer under Wine does not serialise installations, and the tests never overlap).
struct UiCapture {
    std::vector<Message>* messages = nullptr;
    int answer = 0;
};
UiCapture g_capture;

INT CALLBACK captureRecord(LPVOID, UINT type, MSIHANDLE record) {
    if (record == 0 || g_capture.messages == nullptr) return 0;
    Message message;
    message.type = static_cast<INSTALLMESSAGE>(type & 0xFF000000);
    const UINT count = MsiRecordGetFieldCount(record);
    for (UINT field = 0; field <= count; ++field) message.fields.push_back(recordString(record, field));
    DWORD length = 0;
    wchar_t probe[1] = {0};
    if (MsiFormatRecordW(0, record, probe, &length) == ERROR_MORE_DATA) {
        message.text.assign(length + 1, L'\0');
        ++length;
        MsiFormatRecordW(0, record, message.text.data(), &length);
        message.text.resize(length);
    }
    g_capture.messages->push_back(message);
    if (message.type == INSTALLMESSAGE_USER) return g_capture.answer;
    return 0;
}

}  // namespace

bool RunResult::logHas(const std::wstring& text) const {
    if (log.find(text) != std::wstring::npos) return true;
    for (const auto& message : messages)
        if (message.type == INSTALLMESSAGE_INFO && message.text.find(text) != std::wstring::npos) return true;
    return false;
}

std::vector<Message> RunResult::actionDataRecords() const {
    std::vector<Message> result;
    for (const auto& message : messages)
        if (message.type == INSTALLMESSAGE_ACTIONDATA) result.push_back(message);
    return result;
}

std::vector<std::wstring> RunResult::actionData() const {
    std::vector<std::wstring> result;
    for (const auto& message : actionDataRecords()) result.push_back(message.fields.size() > 1 ? message.fields[1] : L"");
    return result;
}

std::wstring binFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

std::wstring libraryFile() { return sizeof(void*) == 8 ? L"Tidewell64.dll" : L"Tidewell.dll"; }

// The DLL that packages carry: this build's, or the one that TIDEWELL_TEST_LIBRARY names
// in the bin folder (the 32-bit DLL, installed by the 64-bit test program where 32-bit
// test programs cannot run).
std::wstring packagedLibrary() {
    wchar_t chosen[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"TIDEWELL_TEST_LIBRARY", chosen, MAX_PATH);
    return binFolder() + (length > 0 && length < MAX_PATH ? std::wstring(chosen, length) : libraryFile());
}

std::wstring buildPlatform() { return sizeof(void*) == 8 ? L"x64" : L"Intel"; }

std::wstring newGuid() {
    GUID guid;
    CoCreateGuid(&guid);
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

Package::Package(std::wstring name) : name_(std::move(name)), productCode_(newGuid()) {
    const std::wstring folder = L"C:\\tw-packages\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    path_ = folder + name_ + L".msi";
    // The standard frame of every test package.
    tables_[L"Property"] = {{L"ProductCode", productCode_},       {L"ProductName", L"Tidewell test " + name_},
                            {L"ProductVersion", L"1.0.0"},        {L"Manufacturer", L"Tidewell tests"},
                            {L"ProductLanguage", L"1033"},        {L"UpgradeCode", newGuid()}};
    tables_[L"Directory"] = {{L"TARGETDIR", L"", L"SourceDir"}};
    tables_[L"Feature"] = {{L"Main", L"", L"Main", L"", L"1", L"1", L"", L"0"}};
    tables_[L"InstallExecuteSequence"] = {
        {L"CostInitialize", L"", L"800"},      {L"FileCost", L"", L"900"},
        {L"CostFinalize", L"", L"1000"},       {L"InstallValidate", L"", L"1400"},
        {L"InstallInitialize", L"", L"1500"},  {L"ProcessComponents", L"", L"1600"},
        {L"UnpublishFeatures", L"", L"1800"},  {L"RemoveRegistryValues", L"", L"2600"},
        {L"RemoveFiles", L"", L"3500"},        {L"RemoveFolders", L"", L"3600"},
        {L"CreateFolders", L"", L"3700"},      {L"MoveFiles", L"", L"3800"},
        {L"InstallFiles", L"", L"4000"},       {L"WriteRegistryValues", L"", L"5000"},
        {L"RegisterProduct", L"", L"6100"},    {L"PublishFeatures", L"", L"6300"},
        {L"PublishProduct", L"", L"6400"},     {L"InstallFinalize", L"", L"6600"}};
    tables_[L"Component"];
    tables_[L"FeatureComponents"];
    tables_[L"CustomAction"];
    tables_[L"Binary"] = {{L"Tidewell", packagedLibrary()},
                          {L"TestActions", binFolder() + L"TestActions.dll"}};
}

Package::~Package() {
    if (installed_) {
        try {
            uninstall();
        } catch (...) {
        }
    }
}

Package& Package::property(const std::wstring& name, const std::wstring& value) {
    // The Property table holds no empty values: an empty property is an unset one.
    auto& rows = tables_[L"Property"];
    std::erase_if(rows, [&](const Row& row) { return row[0] == name; });
    if (!value.empty()) rows.push_back({name, value});
    built_ = false;
    return *this;
}

Package& Package::component(const std::wstring& name, int attributes, const std::wstring& directory) {
    tables_[L"Component"].push_back({name, newGuid(), directory, std::to_wstring(attributes), L"", L""});
    tables_[L"FeatureComponents"].push_back({L"Main", name});
    built_ = false;
    return *this;
}

Package& Package::rows(const std::wstring& table, const std::vector<Row>& rows) {
    auto& target = tables_[table];
    target.insert(target.end(), rows.begin(), rows.end());
    built_ = false;
    return *this;
}

Package& Package::expectFinding(const std::wstring& code) {
    expectedFindings_.push_back(code);
    return *this;
}

namespace {

// The package checks of tidewell-check on a built package, inside a running test: the
// packages that the tests install must be ones the checker passes, or say which finding
// they carry on purpose. This is what keeps the checker honest as rules are added.
void checkBuiltPackage(const std::wstring& path, const std::wstring& name, const std::vector<std::wstring>& expected) {
    if (::testing::UnitTest::GetInstance()->current_test_info() == nullptr) return;  // the demo, the benchmark
    tools::CheckReport report;
    try {
        const tools::MsiDatabase database(path, tools::OpenMode::ReadOnly);
        report = tools::checkPackage(database);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "the package checks could not run on " << toUtf8(name) << ": " << e.what();
        return;
    }
    std::set<std::wstring> found;
    for (const auto& finding : report.findings) {
        found.insert(finding.code);
        const bool wanted = std::find(expected.begin(), expected.end(), finding.code) != expected.end();
        if (finding.severity == tools::Severity::Error && !wanted)
            ADD_FAILURE() << "package " << toUtf8(name) << ": " << toUtf8(tools::formatFinding(finding));
    }
    for (const auto& code : expected)
        if (!found.contains(code))
            ADD_FAILURE() << "package " << toUtf8(name) << " should have the finding " << toUtf8(code);
}

}  // namespace

Package& Package::platform(const std::wstring& platform) {
    platform_ = platform;
    built_ = false;
    return *this;
}

Package& Package::table(const std::wstring& name) {
    tables_[name];
    built_ = false;
    return *this;
}

Package& Package::customAction(const std::wstring& action, int type, const std::wstring& source,
                               const std::wstring& target) {
    return rows(L"CustomAction", {{action, std::to_wstring(type), source, target}});
}

Package& Package::sequence(const std::wstring& action, int number, const std::wstring& condition) {
    return rows(L"InstallExecuteSequence", {{action, condition, std::to_wstring(number)}});
}

Package& Package::withKit() {
    return rows(L"CustomAction", kitRows(L"CustomAction.idt")).rows(L"ActionText", kitRows(L"ActionText.idt"));
}

Package& Package::withoutAction(const std::wstring& action) {
    std::erase_if(tables_[L"CustomAction"], [&](const Row& row) { return row[0] == action; });
    built_ = false;
    return *this;
}

Package& Package::kitSequence(const std::wstring& action) {
    return rows(L"InstallExecuteSequence", {kitRow(L"InstallExecuteSequence.idt", action)});
}

Package& Package::kitSequence(const std::wstring& action, const std::wstring& condition) {
    return sequence(action, parseDecimal(kitRow(L"InstallExecuteSequence.idt", action).at(2)), condition);
}

Package& Package::testAction(const std::wstring& action, int type, const std::wstring& exportName) {
    return customAction(action, type, L"TestActions", exportName);
}

Package& Package::failAt(int number) {
    testAction(L"TW_FailInstall", msidbCustomActionTypeDll | msidbCustomActionTypeInScript, L"FailInstall");
    return sequence(L"TW_FailInstall", number);
}

const std::wstring& Package::build() {
    DeleteFileW(path_.c_str());
    unique_msihandle db;
    check(MsiOpenDatabaseW(path_.c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_CREATE), db.put()), L"create " + path_);

    // Latin-1 texts in the tables (paths with accented letters) need a codepage.
    const std::wstring idtFolder = L"C:\\tw-packages\\";
    const std::wstring idtName = L"_ForceCodepage.idt";
    writeFile(idtFolder + idtName, "\r\n\r\n1252\t_ForceCodepage\r\n");
    check(MsiDatabaseImportW(db.get(), idtFolder.c_str(), idtName.c_str()), L"codepage");

    for (const auto& [table, rows] : tables_) {
        createTable(db.get(), table);
        for (const auto& row : rows) insertRow(db.get(), table, row);
    }

    unique_msihandle summary;
    check(MsiGetSummaryInformationW(db.get(), nullptr, 20, summary.put()), L"summary");
    MsiSummaryInfoSetPropertyW(summary.get(), PID_CODEPAGE, VT_I2, 1252, nullptr, nullptr);
    MsiSummaryInfoSetPropertyW(summary.get(), PIDSI_TITLE, VT_LPSTR, 0, nullptr, L"Installation Database");
    MsiSummaryInfoSetPropertyW(summary.get(), PIDSI_SUBJECT, VT_LPSTR, 0, nullptr, name_.c_str());
    MsiSummaryInfoSetPropertyW(summary.get(), PIDSI_AUTHOR, VT_LPSTR, 0, nullptr, L"Tidewell tests");
    const std::wstring templateText = platform_ + L";1033";
    MsiSummaryInfoSetPropertyW(summary.get(), PIDSI_TEMPLATE, VT_LPSTR, 0, nullptr, templateText.c_str());
    MsiSummaryInfoSetPropertyW(summary.get(), PIDSI_REVNUMBER, VT_LPSTR, 0, nullptr, newGuid().c_str());
    MsiSummaryInfoSetPropertyW(summary.get(), PIDSI_PAGECOUNT, VT_I4, 200, nullptr, nullptr);
    MsiSummaryInfoSetPropertyW(summary.get(), PIDSI_WORDCOUNT, VT_I4, 2, nullptr, nullptr);
    check(MsiSummaryInfoPersist(summary.get()), L"summary persist");
    check(MsiDatabaseCommit(db.get()), L"commit");
    summary.reset();
    db.reset();
    built_ = true;
    checkBuiltPackage(path_, name_, expectedFindings_);
    return path_;
}

RunResult Package::run(const std::wstring& commandLine) {
    if (!built_) build();
    RunResult result;
    if (recording_ == RunRecording::none) {
        MsiSetInternalUI(uiLevel_, nullptr);
        result.code = MsiInstallProductW(path_.c_str(), commandLine.c_str());
        return result;
    }
    const std::wstring logPath = L"C:\\tw-packages\\" + name_ + L".log";
    DeleteFileW(logPath.c_str());
    MsiSetInternalUI(uiLevel_, nullptr);
    MsiEnableLogW(INSTALLLOGMODE_VERBOSE | INSTALLLOGMODE_INFO | INSTALLLOGMODE_ACTIONDATA | INSTALLLOGMODE_ACTIONSTART |
                      INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING | INSTALLLOGMODE_USER,
                  logPath.c_str(), 0);
    g_capture.messages = &result.messages;
    g_capture.answer = answer_;
    INSTALLUI_HANDLER_RECORD previous = nullptr;
    MsiSetExternalUIRecord(captureRecord,
                           INSTALLLOGMODE_INFO | INSTALLLOGMODE_ACTIONSTART | INSTALLLOGMODE_ACTIONDATA |
                               INSTALLLOGMODE_PROGRESS | INSTALLLOGMODE_USER | INSTALLLOGMODE_ERROR |
                               INSTALLLOGMODE_WARNING,
                           nullptr, &previous);
    result.code = MsiInstallProductW(path_.c_str(), commandLine.c_str());
    MsiSetExternalUIRecord(nullptr, 0, nullptr, nullptr);
    MsiEnableLogW(0, nullptr, 0);
    g_capture.messages = nullptr;
    result.log = readLog(logPath);
    collectLibraryLines(result.log);
    return result;
}

RunResult Package::install(const std::wstring& commandLine) {
    RunResult result = run(commandLine);
    if (result.code == ERROR_SUCCESS) installed_ = true;
    return result;
}

RunResult Package::uninstall(const std::wstring& commandLine) {
    RunResult result = run(L"REMOVE=ALL " + commandLine);
    if (result.code == ERROR_SUCCESS) installed_ = false;
    return result;
}

Package& Package::library(const std::wstring& file) {
    for (auto& row : tables_[L"Binary"])
        if (row[0] == L"Tidewell") row[1] = binFolder() + file;
    built_ = false;
    return *this;
}

Package& Package::withoutBinaries() {
    tables_.erase(L"Binary");
    built_ = false;
    return *this;
}

}  // namespace tidewell::test
