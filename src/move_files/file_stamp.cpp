#include "move_files/file_stamp.h"

#include "common/unique_any.h"
#include "win/named_object.h"
#include "win/paths.h"

namespace tidewell {

DWORD fileSize(const std::wstring& path) {
    const NamedObject opened = openNamed(path, GENERIC_READ);
    BY_HANDLE_FILE_INFORMATION information{};
    if (opened.kind != Named::Object || opened.isFolder() || !::GetFileInformationByHandle(opened.handle.get(), &information))
        return 0;
    return information.nFileSizeLow;
}

std::optional<FileStamp> fileStampOf(const std::wstring& path) {
    const NamedObject opened = openNamed(path, FILE_READ_ATTRIBUTES);
    if (opened.kind != Named::Object || opened.isFolder()) return std::nullopt;
    const auto identity = identityOfHandle(opened.handle.get());
    if (!identity) return std::nullopt;
    return identity->stamp;
}

bool sameStamp(const std::wstring& first, const std::wstring& second) {
    const auto a = fileStampOf(first);
    const auto b = fileStampOf(second);
    return a && b && a->size == b->size && ::CompareFileTime(&a->lastWrite, &b->lastWrite) == 0;
}

std::optional<FileIdentity> fileIdentityOf(const std::wstring& path) {
    const NamedObject opened = openNamed(path, FILE_READ_ATTRIBUTES);
    if (opened.kind != Named::Object || opened.isFolder()) return std::nullopt;
    return identityOfHandle(opened.handle.get());
}

bool isSameObject(const FileIdentity& found, const FileIdentity& recorded) {
    // With the stamp: a file index may be given again to the next file made.
    return found.volume == recorded.volume && found.index == recorded.index && found.stamp.size == recorded.stamp.size &&
           ::CompareFileTime(&found.stamp.lastWrite, &recorded.stamp.lastWrite) == 0;
}

std::optional<FileIdentity> identityOfHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file, &information)) return std::nullopt;
    FileIdentity identity;
    identity.volume = information.dwVolumeSerialNumber;
    identity.index = (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    identity.stamp.size = (static_cast<ULONGLONG>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    identity.stamp.lastWrite = information.ftLastWriteTime;
    return identity;
}

namespace {

ULONGLONG timeValue(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::wstring hexText(ULONGLONG value) {
    std::wstring text;
    do {
        text.insert(text.begin(), L"0123456789ABCDEF"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

}  // namespace

std::wstring identityText(const FileIdentity& identity) {
    return hexText(identity.volume) + L"-" + hexText(identity.index) + L"-" + hexText(identity.stamp.size) + L"-" +
           hexText(timeValue(identity.stamp.lastWrite));
}

std::optional<FileIdentity> parseIdentity(const std::wstring& text) {
    ULONGLONG parts[4] = {};
    size_t start = 0;
    for (size_t i = 0; i < 4; ++i) {
        const size_t end = i < 3 ? text.find(L'-', start) : text.size();
        if (end == std::wstring::npos || end == start || end - start > 16) return std::nullopt;
        const std::wstring part = text.substr(start, end - start);
        if (part.find_first_not_of(L"0123456789ABCDEFabcdef") != std::wstring::npos) return std::nullopt;
        for (const wchar_t c : part)
            parts[i] = parts[i] * 16 + static_cast<ULONGLONG>(c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
        start = end + 1;
    }
    if (parts[0] > 0xFFFFFFFFull) return std::nullopt;
    FileIdentity identity;
    identity.volume = static_cast<DWORD>(parts[0]);
    identity.index = parts[1];
    identity.stamp.size = parts[2];
    identity.stamp.lastWrite.dwLowDateTime = static_cast<DWORD>(parts[3]);
    identity.stamp.lastWrite.dwHighDateTime = static_cast<DWORD>(parts[3] >> 32);
    return identity;
}

bool isSameFile(const FileIdentity& found, const FileIdentity& recorded) {
    // The stamp counts on the same volume too: a file system may give a deleted file's
    // number to the next file made (Wine's file index is the inode number, which Linux
    // file systems reuse at once).
    const bool sameStamp = found.stamp.size == recorded.stamp.size &&
                           ::CompareFileTime(&found.stamp.lastWrite, &recorded.stamp.lastWrite) == 0;
    return sameStamp && (found.volume != recorded.volume || found.index == recorded.index);
}

}  // namespace tidewell
