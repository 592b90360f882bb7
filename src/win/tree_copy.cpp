#include "win/tree_copy.h"

#include <windows.h>

#include "common/text.h"
#include "win/fault_seam.h"
#include "win/file_content.h"
#include "win/folder_entries.h"
#include "win/named_object.h"
#include "win/paths.h"

namespace tidewell {

namespace {

void logLine(const LogSink* log, std::initializer_list<std::wstring_view> pieces) {
    if (log) log->line(pieces);
}

struct Times {
    FILETIME created{}, accessed{}, written{};
};

void setTimes(const std::wstring& path, const Times& times) {
    if (seamFails(SeamCall::Attributes)) return;
    const unique_hfile file(::CreateFileW(extendedPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                          nullptr));
    if (file) ::SetFileTime(file.get(), &times.created, &times.accessed, &times.written);
}

// A new file at the destination (replacing a file there, never going through a link
// there) with the bytes and attributes of the open source.
bool copyFromHandle(HANDLE source, const std::wstring& destination, DWORD attributes) {
    if (seamFails(SeamCall::Copy)) return false;
    const DWORD standing = fileAttributes(destination);
    if (standing != INVALID_FILE_ATTRIBUTES && isLinkAttributes(standing)) {
        ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
        return false;
    }
    if (seamFails(SeamCall::Create)) return false;
    const unique_hfile copy(::CreateFileW(extendedPath(destination).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!copy) return false;
    if (copyContent(source, copy.get())) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = attributes & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
        if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(copy.get(), FileBasicInfo, &basic, sizeof basic);
        return true;
    }
    const DWORD failure = ::GetLastError();
    FILE_DISPOSITION_INFO remove{TRUE};
    ::SetFileInformationByHandle(copy.get(), FileDispositionInfo, &remove, sizeof remove);
    ::SetLastError(failure);
    return false;
}

void notCopied(CopyOutcome& outcome, DWORD error) {
    if (outcome.complete) outcome.error = error;
    outcome.complete = false;
}

void copyEntry(const std::wstring& source, const std::wstring& destination, const std::wstring& parentFinal,
               const LogSink* log, CopyOutcome& outcome, int depth) {
    if (depth > kDeepestFolder) {
        logLine(log, {L"could not copy ", source, L": the tree is deeper than ", toDecimal(kDeepestFolder), L" folders"});
        notCopied(outcome, ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    const NamedObject opened = openNamed(source, GENERIC_READ | FILE_READ_ATTRIBUTES, parentFinal);
    if (opened.kind == Named::Link || opened.kind == Named::FollowedLink) {
        logLine(log, {L"link ", source, L" not copied: links are not followed"});
        ++outcome.linksSkipped;
        return;
    }
    if (opened.kind != Named::Object) {
        logLine(log, {L"could not copy ", source, L" (error ", toDecimal(opened.error), L")"});
        notCopied(outcome, opened.error);
        return;
    }
    Times times;
    ::GetFileTime(opened.handle.get(), &times.created, &times.accessed, &times.written);
    if (!opened.isFolder()) {
        const DWORD existing = fileAttributes(destination);
        if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY))
            setAttributes(destination, existing & ~FILE_ATTRIBUTE_READONLY);
        // The file that was checked is the one read: its bytes come from its handle.
        if (!copyFromHandle(opened.handle.get(), destination, opened.attributes)) {
            const DWORD error = ::GetLastError();
            logLine(log, {L"could not copy ", source, L" (error ", toDecimal(error), L")"});
            notCopied(outcome, error);
            return;
        }
        setTimes(destination, times);
        return;
    }
    if (!createFolder(destination)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS || !isFolder(destination)) {
            logLine(log, {L"could not create ", destination, L" (error ", toDecimal(error), L")"});
            notCopied(outcome, error);
            return;
        }
    }
    const std::wstring self = finalPath(opened.handle.get());
    std::vector<FolderEntry> entries;
    if (!listFolder(source, entries)) {
        const DWORD error = ::GetLastError();
        logLine(log, {L"could not list ", source, L" (error ", toDecimal(error), L")"});
        notCopied(outcome, error);
    }
    for (const auto& entry : entries)
        copyEntry(concat({source, L"\\", entry.name}), concat({destination, L"\\", entry.name}), self, log, outcome,
                  depth + 1);
    // Attributes and times last: creating the content changes them.
    setAttributes(destination, opened.attributes);
    setTimes(destination, times);
}

}  // namespace

CopyOutcome copyTree(const std::wstring& source, const std::wstring& destination, const LogSink* log) {
    CopyOutcome outcome;
    outcome.complete = true;
    std::wstring from = source, to = destination;
    removeTrailingBackslash(from);
    removeTrailingBackslash(to);
    copyEntry(from, to, {}, log, outcome, 0);
    return outcome;
}

namespace {

bool sameEntry(const std::wstring& source, const std::wstring& destination, int depth) {
    if (depth > kDeepestFolder) return false;
    WIN32_FILE_ATTRIBUTE_DATA from{}, to{};
    if (seamFails(SeamCall::Attributes)) return false;
    if (!::GetFileAttributesExW(extendedPath(source).c_str(), GetFileExInfoStandard, &from) ||
        !::GetFileAttributesExW(extendedPath(destination).c_str(), GetFileExInfoStandard, &to))
        return false;
    const bool folder = (from.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder != ((to.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) return false;
    if (!folder) return from.nFileSizeLow == to.nFileSizeLow && from.nFileSizeHigh == to.nFileSizeHigh;
    std::vector<FolderEntry> entries;
    if (!listFolder(source, entries)) return false;
    for (const auto& entry : entries) {
        if (isLinkAttributes(entry.attributes)) continue;
        const std::wstring from = concat({source, L"\\", entry.name});
        if (sameEntry(from, concat({destination, L"\\", entry.name}), depth + 1)) continue;
        // Links that show as plain files (Wine's links to files) were left out too.
        const Named kind = openNamed(from, FILE_READ_ATTRIBUTES).kind;
        if (kind != Named::Link && kind != Named::FollowedLink) return false;
    }
    return true;
}

}  // namespace

bool sameTree(const std::wstring& source, const std::wstring& destination) { return sameEntry(source, destination, 0); }

}  // namespace tidewell
