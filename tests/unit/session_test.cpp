// The session layer, the table reader and the statements against a real session opened
// on a built package.
#include <windows.h>
#include <msiquery.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "common/text.h"

#include "msi/action_data.h"
#include "msi/row_deleter.h"
#include "msi/session.h"
#include "msi/standard_rows.h"
#include "msi/statements.h"
#include "msi/table_reader.h"
#include "opened_package.h"
#include "package.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {
const std::wstring F(1, kFieldSeparator), R(1, kRecordSeparator), G(1, kGroupSeparator);
}

TEST(Session, TextsOfAnyLengthAreReadWhole) {
    const std::wstring longValue = std::wstring(1500, L'a') + L"\x00e9nd";
    Package package(L"session-properties");
    package.property(L"LONGPROP", longValue);
    OpenedPackage session(package);
    ASSERT_EQ(0u, session.openResult());

    EXPECT_EQ(longValue, getProperty(session.handle(), L"LONGPROP"));
    EXPECT_EQ(L"", getProperty(session.handle(), L"NOT_SET_ANYWHERE"));

    // The readers try a 256-character buffer first and read again only when it is short:
    // texts on both sides of that size, through each reader.
    MsiHandleHolder record(MsiCreateRecord(1));
    for (const size_t length : {1u, 255u, 256u, 257u, 1000u}) {
        const std::wstring value = std::wstring(length - 1, L'x') + L"\x00e9";
        ASSERT_EQ(0u, MsiSetPropertyW(session.handle(), L"P", value.c_str()));
        EXPECT_EQ(value, getProperty(session.handle(), L"P")) << length;
        EXPECT_EQ(value, formatText(session.handle(), L"[P]")) << length;
        ASSERT_EQ(0u, MsiRecordSetStringW(record.get(), 1, value.c_str()));
        EXPECT_EQ(value, recordString(record.get(), 1)) << length;
    }
}

TEST(Session, FormatTextExpandsPropertyReferences) {
    Package package(L"session-format");
    package.property(L"DATADIR", L"C:\\Data\\");
    OpenedPackage session(package);
    ASSERT_EQ(0u, session.openResult());
    EXPECT_EQ(package.productCode(), formatText(session.handle(), L"[ProductCode]"));
    EXPECT_EQ(L"C:\\Data\\x.log", formatText(session.handle(), L"[DATADIR]x.log"));
    EXPECT_EQ(L"", formatText(session.handle(), L""));
}

TEST(Session, RollbackIsEnabledUnlessDisableRollbackIsOne) {
    Package package(L"session-rollback");
    OpenedPackage session(package);
    ASSERT_EQ(0u, session.openResult());
    struct Case {
        const wchar_t* value;
        bool enabled;
    } cases[] = {{L"", true}, {L"1", false}, {L"0", true}, {L"2", true}, {L"yes", true}};
    for (const auto& c : cases) {
        ASSERT_EQ(0u, MsiSetPropertyW(session.handle(), L"DISABLEROLLBACK", c.value));
        EXPECT_EQ(c.enabled, isRollbackEnabled(session.handle())) << "DISABLEROLLBACK='" << toUtf8(c.value) << "'";
    }
}

TEST(Session, AppendPropertiesWritesAPropertyGroup) {
    Package package(L"session-append");
    package.property(L"ALLUSERS", L"1").property(L"BPROP", L"b");
    OpenedPackage session(package);
    ASSERT_EQ(0u, session.openResult());

    std::wstring text;
    appendProperties(session.handle(), text, {L"ALLUSERS"});
    EXPECT_EQ(L"ALLUSERS" + F + L"1", text);

    text = L"row";
    appendProperties(session.handle(), text, {L"BPROP", L"ALLUSERS", L"UNSET_PROP"});
    EXPECT_EQ(L"row" + G + L"ALLUSERS" + F + L"1" + R + L"BPROP" + F + L"b" + R + L"UNSET_PROP" + F, text);
}

TEST(TableReader, JoinedReadWritesKeptRowsWithPropertyAndFormatColumns) {
    Package package(L"reader-join");
    package.component(L"Main")
        .property(L"DATADIR", L"C:\\Data\\")
        .rows(L"RemoveFile", {{L"a", L"Main", L"x|*.log", L"DATADIR", L"1"},
                              {L"b", L"Main", L"", L"UNSET_DIR", L"2"},
                              {L"c", L"Main", L"[ProductCode]", L"DATADIR", L"3"},
                              {L"dropped", L"Main", L"z", L"DATADIR", L"1"},
                              {L"noext", L"Main", L"y", L"DATADIR", L"1"}})
        .rows(L"VU_RemoveFile",
              {{L"a", L"", L"3"}, {L"b", L"0", L""}, {L"c", L"", L"1"}, {L"dropped", L"", L"0"}});
    OpenedPackage session(package);
    ASSERT_EQ(0u, session.openResult());

    const std::vector<TableSpec> specs = {
        {.name = L"RemoveFile",
         .columns = {{.name = L"FileKey"}, {.name = L"FileName", .format = true},
                     {.name = L"DirProperty", .property = true}, {.name = L"InstallMode"}},
         .joinColumn = L"FileKey"},
        {.name = L"VU_RemoveFile",
         .columns = {{.name = L"RemoveFile"}, {.name = L"Condition"}, {.name = L"Options"}},
         .joinColumn = L"RemoveFile"}};
    std::vector<std::wstring> visited;
    const ActionLog log(session.handle(), L"test");
    MsiTableReader reader(session.handle());
    RowDeleter standardRows(session.handle(), L"RemoveFile", L"FileKey");
    // The selector takes the standard row it looks at away and drops "dropped"; every row
    // is still visited once, and only the kept ones are written.
    const std::wstring text = collectRows(log, reader, specs, [&](const ActionLog& rowLog, TableRow& row) {
        visited.push_back(row.value(L"FileKey"));
        takeOverStandardRow(rowLog, standardRows, row.value(L"FileKey"));
        return row.value(L"FileKey") != L"dropped";
    });
    std::sort(visited.begin(), visited.end());
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"c", L"dropped"}), visited);

    ActionData data(text);
    ASSERT_TRUE(data.parse());
    ASSERT_EQ(1u, data.groupCount());
    std::map<std::wstring, ActionDataRecord> byKey;
    for (const auto& record : data.group(0)) byKey[record.at(0)] = record;
    EXPECT_EQ(3u, byKey.size());
    EXPECT_FALSE(byKey.contains(L"dropped"));
    EXPECT_EQ((ActionDataRecord{L"a", L"x|*.log", L"C:\\Data\\", L"1", L"a", L"", L"3"}), byKey[L"a"]);
    EXPECT_EQ((ActionDataRecord{L"b", L"", L"", L"2", L"b", L"0", L""}), byKey[L"b"]);
    EXPECT_EQ((ActionDataRecord{L"c", package.productCode(), L"C:\\Data\\", L"3", L"c", L"", L"1"}), byKey[L"c"]);

    // The deletions reached the running database.
    MsiTableReader after(session.handle());
    after.openTable(L"RemoveFile");
    ASSERT_EQ(1u, after.rows().size());
    EXPECT_EQ(L"noext", after.rows()[0].value(L"FileKey"));
}

TEST(TableReader, AbsentTablesAndBadStatementsGiveNoRows) {
    Package package(L"reader-absent");
    package.component(L"Main").rows(L"RemoveFile", {{L"a", L"Main", L"", L"DIR", L"1"}});
    OpenedPackage session(package);
    ASSERT_EQ(0u, session.openResult());

    MsiTableReader reader(session.handle());
    EXPECT_FALSE(reader.openTable(L"VU_RemoveFile"));
    EXPECT_FALSE(reader.ok());
    EXPECT_NE(0u, reader.error());
    EXPECT_FALSE(reader.hasTable(L"VU_RemoveFile"));
    EXPECT_TRUE(reader.hasTable(L"RemoveFile"));
    bool called = false;
    const std::vector<TableSpec> specs = {
        {.name = L"RemoveFile", .columns = {{.name = L"FileKey"}}, .joinColumn = L"FileKey"},
        {.name = L"VU_RemoveFile", .columns = {{.name = L"RemoveFile"}}, .joinColumn = L"RemoveFile"}};
    const ActionLog log(session.handle(), L"test");
    EXPECT_TRUE(selectRows(log, reader, specs, [&](auto&, auto&) { return called = true; }).empty());
    EXPECT_FALSE(called);

    // A key is a value, never part of the statement: quotes in it delete nothing else.
    RowDeleter standardRows(session.handle(), L"RemoveFile", L"FileKey");
    EXPECT_EQ(0u, standardRows.remove(L"a' OR `FileKey`<>'"));
    reader.openTable(L"RemoveFile");
    EXPECT_EQ(1u, reader.rows().size());
    EXPECT_EQ(0u, standardRows.remove(L"a"));
    reader.openTable(L"RemoveFile");
    EXPECT_EQ(0u, reader.rows().size());
    // A statement that cannot be prepared fails every row, not only the first.
    RowDeleter absent(session.handle(), L"VU_RemoveFile", L"RemoveFile");
    EXPECT_NE(0u, absent.remove(L"a"));
    EXPECT_NE(0u, absent.remove(L"a"));
}

TEST(TableReader, LookupValueGivesTheLastMatchOrNothing) {
    Package package(L"reader-lookup");
    package.component(L"Comp32").component(L"Comp64", 0x100);
    OpenedPackage session(package);
    ASSERT_EQ(0u, session.openResult());
    EXPECT_EQ(L"256", lookupValue(session.handle(), L"Component", L"Component", L"Attributes", L"Comp64"));
    EXPECT_EQ(L"0", lookupValue(session.handle(), L"Component", L"Component", L"Attributes", L"Comp32"));
    EXPECT_EQ(L"", lookupValue(session.handle(), L"Component", L"Component", L"Attributes", L"Nope"));
    EXPECT_EQ(L"Main", lookupValue(session.handle(), L"Component_", L"FeatureComponents", L"Feature_", L"Comp64"));
}

TEST(TableReader, BinaryColumnsAreReadAsStreams) {
    Package package(L"reader-binary");
    OpenedPackage session(package);
    ASSERT_EQ(0u, session.openResult());
    MsiTableReader reader(session.handle());
    ASSERT_TRUE(reader.openTable(L"Binary", {}, {L"Name"}));
    ASSERT_EQ(2u, reader.rows().size());
    EXPECT_EQ(L"{Binary Data}", reader.rows()[0].value(L"Data"));
    ASSERT_EQ(2u, reader.streams().size());
    // Both rows hold DLLs: the stream starts with the PE signature.
    EXPECT_EQ('M', reader.streams()[0].at(0));
    EXPECT_EQ('Z', reader.streams()[0].at(1));
}
