// Long names and links through every operation of a real installation: permanent
// removal, undoable removal rolled back and committed, backup with restore, and moves.
// Names of 250 characters and paths past 300 come back whole under their own names; links
// are Unix symbolic links, as a user would plant them under Wine, and their targets are
// never touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

#include "common/text.h"
#include "common/unique_any.h"
#include "undo/write_ahead_log.h"
#include "backup_file.h"
#include "package.h"
#include "path_states.h"
#include "test_fs.h"

using namespace tidewell;
using namespace tidewell::test;

namespace {

using Names = std::vector<std::wstring>;

enum class Operation { Remove, RollBack, Commit, BackupRestore, Move, Copy };

const wchar_t* nameOf(Operation operation) {
    switch (operation) {
    case Operation::Remove: return L"remove";
    case Operation::RollBack: return L"rollback";
    case Operation::Commit: return L"commit";
    case Operation::BackupRestore: return L"backup";
    case Operation::Move: return L"move";
    case Operation::Copy: return L"copy";
    }
    return L"";
}

// What one run works on: a folder with everything in it (removed, backed up) and the
// files a pattern finds in another folder (removed, backed up one row each, or moved).
struct Items {
    std::wstring tree;
    std::wstring patternFolder;
    std::wstring pattern;
    Names patternFiles;
    std::wstring moveTo;  // folder (moves and copies)
    Names changedByUser;  // written over between backup and restore
};

std::wstring folderValue(const std::wstring& path) { return path + L"\\"; }

// Builds the package of the operation, runs it and returns what its runs logged.
RunResult runOperation(Operation operation, const Items& items) {
    Package package(std::wstring(L"long-links-") + nameOf(operation));
    package.component(L"Main").property(L"TREE", items.tree).property(L"FILES", items.patternFolder);
    switch (operation) {
    case Operation::Remove:
    case Operation::RollBack:
    case Operation::Commit:
        package.rows(L"RemoveFile", {{L"tree", L"Main", L"", L"TREE", L"1"}, {L"files", L"Main", items.pattern, L"FILES", L"1"}})
            .rows(L"VU_RemoveFile", {{L"tree", L"", L"3"}, {L"files", L"", L"0"}})
            .withKit()
            .kitSequence(L"VU_UndoRemoveFiles")
            .kitSequence(L"VU_RemoveFilesImmediate");
        if (operation == Operation::Remove) package.property(L"DISABLEROLLBACK", L"1");
        if (operation == Operation::RollBack) package.failAt(6500);
        return package.install();
    case Operation::BackupRestore: {
        std::vector<Row> rows{{L"tree", L"0", L"1", items.tree}};
        for (size_t i = 0; i < items.patternFiles.size(); ++i)
            rows.push_back({L"file" + toDecimal(static_cast<long long>(i)), L"0", L"1", items.patternFiles[i]});
        package.rows(L"VU_PersistentData", rows)
            .withKit()
            .kitSequence(L"VU_BackupImmediate")
            .kitSequence(L"VU_RestoreImmediate", L"REMOVE~=\"ALL\"");
        RunResult both = package.install();
        if (both.code != 0) return both;
        for (const auto& file : items.changedByUser) writeFile(file, "changed");
        const RunResult restore = package.uninstall();
        both.code = restore.code;
        both.log += restore.log;
        both.messages.insert(both.messages.end(), restore.messages.begin(), restore.messages.end());
        EXPECT_FALSE(exists(backupFilePath(package.productCode())));
        return both;
    }
    case Operation::Move:
    case Operation::Copy:
        package.property(L"SRC", folderValue(items.patternFolder))
            .property(L"DEST", folderValue(items.moveTo))
            .rows(L"MoveFile", {{L"files", L"Main", items.pattern, L"", L"SRC", L"DEST", operation == Operation::Move ? L"1" : L"0"}})
            .rows(L"VU_MoveFile", {{L"files", L"", L"0"}})
            .withKit()
            .sequence(L"VU_MoveFilesImmediate", 1700);
        return package.install();
    }
    return {};
}

UINT expectedCode(Operation operation) {
    return operation == Operation::RollBack ? static_cast<UINT>(ERROR_INSTALL_FAILURE) : 0u;
}

// Everything that stands under the folder after a run, as listTree writes it: the states
// that are present, with every folder above them.
Names presentUnder(const std::wstring& folder, const std::vector<PathState>& states) {
    Names names;
    for (const auto& state : states) {
        if (state.content == kAbsent || state.path.rfind(folder + L"\\", 0) != 0) continue;
        std::wstring relative = state.path.substr(folder.size() + 1);
        if (std::string_view(state.content) == kFolder) relative += L"\\";
        for (size_t at = relative.find(L'\\'); at != std::wstring::npos && at + 1 < relative.size();
             at = relative.find(L'\\', at + 1))
            names.push_back(relative.substr(0, at + 1));
        names.push_back(relative);
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

void clearJournal() { deleteJournalFiles(); }

}  // namespace

TEST(LongNames, EveryOperationKeepsEachNameAndLogsWhatHappened) {
    const std::wstring root = L"C:\\tw-long", other = L"D:\\tw-long";
    const std::wstring tree = root + L"\\" + std::wstring(250, L'a');
    const std::wstring deepFile = tree + L"\\" + std::wstring(60, L'b') + L"\\" + std::wstring(40, L'c') + L".txt";
    const std::wstring files = root + L"\\" + std::wstring(250, L'd') + L"\\" + std::wstring(60, L'e');
    const std::wstring longLog = files + L"\\" + std::wstring(40, L'f') + L".log";
    const std::wstring moveTo = other + L"\\" + std::wstring(250, L'g'), movedLog = moveTo + L"\\" + std::wstring(40, L'f') + L".log";
    ASSERT_GT(deepFile.size(), 300u);
    ASSERT_GT(movedLog.size(), 300u);
    const Items items{tree, files, L"*.log", {longLog}, moveTo, {deepFile, longLog}};
    const std::vector<PathState> before{{deepFile, "deep"}, {tree + L"\\top.txt", "top"}, {longLog, "log"},
                                        {files + L"\\stays.txt", "stays"}};
    const std::vector<PathState> removed{{tree, kAbsent}, {longLog, kAbsent}, {files + L"\\stays.txt", "stays"}};
    // Each operation beside what it leaves and the log lines that say so.
    struct Case {
        Operation operation;
        std::vector<PathState> after;
        Names log;
    };
    const Case cases[] = {
        {Operation::Remove, removed,
         {L"row tree: removed " + tree + L" with its content", L"row files: removed " + longLog}},
        {Operation::RollBack, before,
         {L"row tree: removed " + tree + L" with its content", L"OnVuUndoRemoveFiles: putting back 2 removed items"}},
        {Operation::Commit, removed,
         {L"row files: removed " + longLog, L"OnVuRemoveFilesCommit: deleting 2 removed items for good"}},
        {Operation::BackupRestore, before,
         {L"row tree: backed up " + tree, L"row file0: backed up " + longLog, L"OnVuRestoreDeferred: restored " + tree,
          L"OnVuRestoreDeferred: restored " + longLog}},
        {Operation::Move, {{longLog, kAbsent}, {movedLog, "log"}, {files + L"\\stays.txt", "stays"}, {deepFile, "deep"},
                           {tree + L"\\top.txt", "top"}},
         {L"OnVuMoveFilesDeferred: moved '" + longLog + L"' to '" + movedLog + L"'"}},
        {Operation::Copy, {{longLog, "log"}, {movedLog, "log"}, {files + L"\\stays.txt", "stays"}, {deepFile, "deep"},
                           {tree + L"\\top.txt", "top"}},
         {L"OnVuMoveFilesDeferred: copied '" + longLog + L"' to '" + movedLog + L"'"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(nameOf(c.operation)));
        const TestFolder ownRoot(root), ownOther(other);
        clearJournal();
        layDown(before);

        const RunResult result = runOperation(c.operation, items);
        ASSERT_EQ(expectedCode(c.operation), result.code);
        expectStates(c.after);
        // Nothing else stands there: no item came back under another name.
        EXPECT_EQ(presentUnder(root, c.after), listTree(root));
        EXPECT_EQ(presentUnder(other, c.after), listTree(other));
        for (const auto& line : c.log) EXPECT_TRUE(result.logHas(line)) << toUtf8(line);
        EXPECT_FALSE(result.logHas(L"stays in")) << "nothing was left in a store";
        EXPECT_EQ(Names{}, recycleBins());
        EXPECT_EQ(Names{}, journalFiles());
    }
}

namespace {

// The same file or folder: a link opened through is its target, a copy is not.
bool sameObject(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION infoA{}, infoB{};
    for (const auto& [path, info] : {std::pair{&a, &infoA}, std::pair{&b, &infoB}}) {
        const unique_hfile file(CreateFileW(path->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file || !GetFileInformationByHandle(file.get(), info)) return false;
    }
    return infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber && infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
           infoA.nFileIndexLow == infoB.nFileIndexLow;
}

}  // namespace

// Wine opens a Unix link only through its target (FILE_FLAG_OPEN_REPARSE_POINT gives the
// target's attributes), so the library cannot remove or move a link itself there: it keeps
// the link and says so. A tree that holds links still moves whole as one rename, links
// and all. On Windows the links themselves would be removed or moved.
TEST(LinksInTrees, EveryOperationLeavesTheTargetsAloneAndSaysWhatItDidWithTheLinks) {
    const std::wstring root = L"C:\\tw-links", target = L"C:\\tw-links-target", other = L"D:\\tw-links";
    const std::wstring tree = root + L"\\tree", files = root + L"\\files", moveTo = other + L"\\dest";
    const std::wstring folderLink = tree + L"\\folder-link", fileLink = tree + L"\\sub\\file-link.txt";
    const std::wstring linkLog = files + L"\\link.log", plainLog = files + L"\\a.log";
    const std::wstring keptTarget = target + L"\\kept", fileTarget = target + L"\\file.txt";
    const Items items{tree, files, L"*.log", {plainLog, linkLog}, moveTo, {tree + L"\\plain.txt", plainLog}};
    const std::vector<PathState> before{{tree + L"\\plain.txt", "plain"}, {tree + L"\\sub", kFolder}, {plainLog, "a"}};
    const std::vector<std::pair<std::wstring, std::wstring>> links{
        {folderLink, keptTarget}, {fileLink, fileTarget}, {linkLog, fileTarget}};
    // Each operation beside what it leaves, which links stay in place, and the log lines.
    struct Case {
        Operation operation;
        std::vector<PathState> after;
        Names linksInPlace;
        Names log;
    };
    const Case cases[] = {
        {Operation::Remove, {{tree + L"\\plain.txt", kAbsent}, {plainLog, kAbsent}},
         {folderLink, fileLink, linkLog},
         {L"link " + folderLink + L" kept", L"link " + fileLink + L" kept", L"row tree: could not remove " + tree,
          L"link " + linkLog + L" kept", L"row files: could not remove " + linkLog, L"row files: removed " + plainLog}},
        {Operation::RollBack, before,
         {folderLink, fileLink, linkLog},
         {L"row tree: removed " + tree + L" with its content", L"link " + linkLog + L" kept: it cannot be moved",
          L"OnVuUndoRemoveFiles: putting back 2 removed items"}},
        // The tree's links went into the store with it; the store cannot delete them
        // without following them, so it stays, and says so.
        {Operation::Commit, {{tree, kAbsent}, {plainLog, kAbsent}},
         {linkLog},
         {L"row tree: removed " + tree + L" with its content", L"link " + linkLog + L" kept: it cannot be moved",
          L"OnVuRemoveFilesCommit: deleting 2 removed items for good", L"OnVuRemoveFilesCommit: could not delete the store"}},
        {Operation::BackupRestore, before,
         {folderLink, fileLink, linkLog},
         {L"link " + folderLink + L" not copied", L"link " + fileLink + L" not copied", linkLog + L" not copied: it is a link",
          L"row file1: " + linkLog + L" not backed up", L"OnVuRestoreDeferred: restored " + tree,
          L"OnVuRestoreDeferred: restored " + plainLog}},
        {Operation::Move, {{plainLog, kAbsent}, {moveTo + L"\\a.log", "a"}, {moveTo + L"\\link.log", kAbsent}},
         {folderLink, fileLink, linkLog},
         {L"OnVuMoveFilesDeferred: moved '" + plainLog + L"'",
          L"OnVuMoveFilesDeferred: could not move '" + linkLog + L"' to '" + moveTo + L"\\link.log'"}},
        // A copy would read through the link: it is skipped.
        {Operation::Copy, {{plainLog, "a"}, {moveTo + L"\\a.log", "a"}, {moveTo + L"\\link.log", kAbsent}},
         {folderLink, fileLink, linkLog},
         {L"OnVuMoveFilesDeferred: copied '" + plainLog + L"'",
          L"OnVuMoveFilesDeferred: skipped '" + linkLog + L"' to '" + moveTo + L"\\link.log': the source is a link"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(nameOf(c.operation)));
        for (const auto& folder : {root, target, other}) removeUnixTree(folder);
        clearJournal();
        layDown(before);
        writeFile(keptTarget + L"\\precious.txt", "precious");
        writeFile(fileTarget, "file");
        for (const auto& [link, to] : links) ASSERT_TRUE(makeUnixLink(link, to));

        const RunResult result = runOperation(c.operation, items);
        ASSERT_EQ(expectedCode(c.operation), result.code);
        expectStates(c.after);
        EXPECT_EQ((Names{L"file.txt", L"kept\\", L"kept\\precious.txt"}), listTree(target));
        EXPECT_EQ("precious", readFile(keptTarget + L"\\precious.txt"));
        EXPECT_EQ("file", readFile(fileTarget));
        for (const auto& [link, to] : links) {
            const bool inPlace = std::find(c.linksInPlace.begin(), c.linksInPlace.end(), link) != c.linksInPlace.end();
            EXPECT_EQ(inPlace, sameObject(link, to)) << toUtf8(link) << " is " << (inPlace ? "" : "not ") << "the link it was";
        }
        EXPECT_TRUE(attributesOf(folderLink) == INVALID_FILE_ATTRIBUTES || (attributesOf(folderLink) & FILE_ATTRIBUTE_REPARSE_POINT))
            << "a folder link is a link wherever it stands";
        for (const auto& line : c.log) EXPECT_TRUE(result.logHas(line)) << toUtf8(line);
        if (c.operation == Operation::Commit) {
            // What the commit could not delete stays named by the leftover record only.
            const Names files = journalFiles();
            ASSERT_EQ(1u, files.size());
            EXPECT_TRUE(files[0].ends_with(L".leftover")) << toUtf8(files[0]);
            EXPECT_EQ(1u, recycleBins().size()) << "the store that holds the links stays";
            for (const auto& bin : recycleBins()) EXPECT_TRUE(removeUnixTree(bin));
        } else {
            EXPECT_EQ(Names{}, journalFiles());
        }
        EXPECT_EQ(Names{}, recycleBins());
        for (const auto& folder : {root, target, other}) removeUnixTree(folder);
    }
}
