#include "win/tree_delete.h"

#include "common/text.h"
#include "win/folder_entries.h"
#include "win/named_object.h"
#include "win/paths.h"

namespace tidewell {

namespace {

void logLine(const LogSink* log, std::initializer_list<std::wstring_view> pieces) {
    if (log) log->line(pieces);
}

bool deleteEntry(const std::wstring& path, const std::wstring& parentFinal, const LogSink* log, int depth) {
    if (depth > kDeepestFolder) {
        logLine(log, {L"could not delete ", path, L": the tree is deeper than ", toDecimal(kDeepestFolder), L" folders"});
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    NamedObject opened = openNamed(path, DELETE | FILE_WRITE_ATTRIBUTES, parentFinal);
    switch (opened.kind) {
    case Named::Missing:
        return true;
    case Named::FollowedLink:
        if (!opened.linkOnTheWay.empty())
            logLine(log, {L"could not delete ", path, L": ", linkReason(opened)});
        else
            logLine(log, {L"link ", path, L" kept: it cannot be removed here without touching what it points to"});
        return false;
    case Named::Failed:
        logLine(log, {L"could not delete ", path, L" (error ", toDecimal(opened.error), L")"});
        return false;
    case Named::Link:
    case Named::Object:
        break;
    }
    if (opened.kind == Named::Object && opened.isFolder()) {
        // Listing needs the folder not held open for deletion: it is opened again after.
        const std::wstring self = finalPath(opened.handle.get());
        opened.handle.reset();
        std::vector<FolderEntry> entries;
        if (!listFolder(path, entries)) {
            logLine(log, {L"could not list ", path, L" (error ", toDecimal(::GetLastError()), L")"});
            return false;
        }
        bool all = true;
        for (const auto& entry : entries) all = deleteEntry(concat({path, L"\\", entry.name}), self, log, depth + 1) && all;
        if (!all) return false;
        opened = openNamed(path, DELETE | FILE_WRITE_ATTRIBUTES, parentFinal);
        if (opened.kind != Named::Object) {
            logLine(log, {L"could not delete ", path, L" (error ", toDecimal(opened.error), L")"});
            return false;
        }
    }
    if (deleteOpened(opened.handle.get(), opened.attributes)) return true;
    logLine(log, {L"could not delete ", path, L" (error ", toDecimal(::GetLastError()), L")"});
    return false;
}

}  // namespace

bool deleteTree(const std::wstring& path, const LogSink* log) {
    std::wstring work = path;
    removeTrailingBackslash(work);
    return deleteEntry(work, {}, log, 0);
}

}  // namespace tidewell
