// The undo journal's byte format, pinned against hand-written bytes, and a loader that
// survives damaged journals.
#include <gtest/gtest.h>

#include <cstdint>

#include "common/unique_any.h"
#include "undo/undo_transaction.h"
#include "journal_bytes.h"
#include "test_fs.h"

using namespace tidewell;
using tidewell::test::Bytes;

namespace {

const std::wstring kGuid = L"{11111111-2222-3333-4444-55555555AAAA}";
const std::wstring kC = L"C:\\VU_RecycleBin\\" + kGuid;
const std::wstring kD = L"D:\\VU_RecycleBin\\" + kGuid;

// Two file stores with three items, the empty registry store, active.
std::vector<unsigned char> smallJournal(const std::wstring& cFolder = kC) {
    Bytes b;
    b.u32(2);                                  // file stores (type 12)
    b.str(L"C:\\").u32(10);                    //   key, tag
    b.u16(1).u16(1);                           //   prepared, finishOnDestroy
    b.u32(2).str(L"C:\\a\\x.txt").str(cFolder + L"\\0").str(L"C:\\b").str(cFolder + L"\\1");  // storedOf
    b.u32(2).str(cFolder + L"\\0").str(L"C:\\a\\x.txt").str(cFolder + L"\\1").str(L"C:\\b");  // pathOf
    b.u32(2).str(cFolder);                     //   counter, folder
    b.str(L"D:\\").u32(10);
    b.u16(1).u16(1);
    b.u32(1).str(L"D:\\y.txt").str(kD + L"\\0");
    b.u32(1).str(kD + L"\\0").str(L"D:\\y.txt");
    b.u32(1).str(kD);
    b.u32(1);                                  // registry stores (type 12)
    b.str(L"HKCU").u32(10);
    b.u16(0).u16(1).u32(0).u32(0).u32(0).str(L"");
    b.u16(1);                                  // active
    return b.v;
}

bool noStores(const UndoTransaction& transaction) {
    return transaction.fileStores().empty() && transaction.registryStores().empty();
}

}  // namespace

TEST(Journal, FormatMatchesHandWrittenBytesBothWays) {
    const std::vector<unsigned char> bytes = smallJournal();
    const std::vector<unsigned char> head = {2, 0, 0, 0, 3, 0, 0, 0, 'C', 0, ':', 0, '\\', 0, 10, 0, 0, 0, 1, 0, 1, 0};
    ASSERT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));

    UndoTransaction transaction(nullptr);
    ASSERT_TRUE(transaction.readJournal(bytes));
    ASSERT_EQ(2u, transaction.fileStores().size());
    const FileUndoStore& c = *transaction.fileStores().at(L"C:\\");
    EXPECT_TRUE(c.prepared());
    EXPECT_TRUE(c.finishOnDestroy());
    EXPECT_EQ(2, c.counter());
    EXPECT_EQ(kC, c.recordedLocation());
    EXPECT_EQ(kC + L"\\1", c.storedOf().at(L"C:\\b"));
    EXPECT_EQ(L"C:\\a\\x.txt", c.pathOf().at(kC + L"\\0"));
    EXPECT_EQ(1u, transaction.fileStores().at(L"D:\\")->storedOf().size());
    ASSERT_EQ(1u, transaction.registryStores().size());
    EXPECT_FALSE(transaction.registryStores().at(L"HKCU")->prepared());
    EXPECT_TRUE(transaction.active());

    EXPECT_EQ(bytes, transaction.journalBytes()) << "writing gives back the same bytes";
    transaction.keep();  // the stores above do not exist; nothing to finish
}

TEST(Journal, DamagedJournalsLoadAsNoStores) {
    const std::vector<unsigned char> good = smallJournal();
    std::vector<std::pair<std::string, std::vector<unsigned char>>> cases;
    for (size_t length = 0; length < good.size(); ++length)
        cases.push_back({"truncated to " + std::to_string(length), {good.begin(), good.begin() + length}});
    cases.push_back({"huge store count", Bytes().u32(0xFFFFFFFF).v});
    cases.push_back({"huge key length", Bytes().u32(1).u32(0x7FFFFFFF).u16('C').v});
    cases.push_back({"huge text-map count", Bytes().u32(1).str(L"C:\\").u32(10).u16(1).u16(1).u32(0xFFFFFFF0).v});
    Bytes wrongTag;
    wrongTag.u32(1).str(L"C:\\").u32(9);
    cases.push_back({"wrong tag", wrongTag.v});
    std::vector<unsigned char> trailing = good;
    trailing.push_back(0);
    cases.push_back({"a trailing byte", trailing});
    cases.push_back({"store folder outside any store", smallJournal(L"C:\\Windows")});
    Bytes twice;
    twice.u32(2);
    for (int i = 0; i < 2; ++i) twice.str(L"C:\\").u32(10).u16(0).u16(1).u32(0).u32(0).u32(0).str(L"");
    twice.u32(0).u16(1);
    cases.push_back({"the same store twice", twice.v});
    std::uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        std::vector<unsigned char> garbage(round * 3 % 257);
        for (auto& byte : garbage) byte = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 24);
        cases.push_back({"garbage round " + std::to_string(round), garbage});
    }

    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        UndoTransaction transaction(nullptr);
        EXPECT_FALSE(transaction.readJournal(bytes));
        EXPECT_TRUE(noStores(transaction));
    }
}

TEST(Journal, DamagedJournalNamingAnotherFolderDeletesNothing) {
    test::TestFolder victim(L"C:\\tw-journal-victim");
    test::writeFile(victim / L"0\\precious.txt", "keep me");
    {
        const std::vector<unsigned char> bytes = smallJournal(victim.path());
        const unique_hfile file(CreateFileW(test::journalPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    {
        UndoTransaction commit(nullptr);
        EXPECT_FALSE(commit.loadJournal());
        EXPECT_TRUE(noStores(commit));
    }
    EXPECT_EQ("keep me", test::readFile(victim / L"0\\precious.txt"));
    EXPECT_FALSE(test::exists(test::journalPath())) << "the finished transaction deletes the journal";
}

TEST(UndoTransaction, ExceptionBeforeKeepSavesTheJournalAndKeepsTheStores) {
    test::TestFolder folder(L"C:\\tw-undo-exception");
    test::writeFile(folder / L"x.txt", "x");
    test::writeFile(folder / L"tree\\y.txt", "y");
    DeleteFileW(test::journalPath().c_str());
    try {
        UndoTransaction transaction(nullptr);
        ASSERT_TRUE(transaction.take(folder / L"x.txt"));
        ASSERT_TRUE(transaction.take(folder / L"tree"));
        throw std::runtime_error("stopped before keep");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(std::vector<std::wstring>{}, test::listTree(folder.path()));
    EXPECT_TRUE(test::exists(test::journalPath()));
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\VU_RecycleBin"}, test::recycleBins());

    {
        UndoTransaction undo(nullptr);
        ASSERT_TRUE(undo.loadJournal());
        EXPECT_TRUE(undo.restoreAll());
    }
    EXPECT_EQ("x", test::readFile(folder / L"x.txt"));
    EXPECT_EQ("y", test::readFile(folder / L"tree\\y.txt"));
    EXPECT_EQ(std::vector<std::wstring>{}, test::recycleBins());
    EXPECT_FALSE(test::exists(test::journalPath()));
}
