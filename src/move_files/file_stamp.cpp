#include "move_files/file_stamp.h"

#include "common/unique_any.h"
#include "win/paths.h"

namespace tidewell {

DWORD fileSize(const std::wstring& path) {
    const unique_hfile file(
        ::CreateFileW(extendedPath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    return ::GetFileSize(file.get(), nullptr);
}

std::optional<FileStamp> fileStampOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    FileStamp stamp;
    stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.lastWrite = data.ftLastWriteTime;
    return stamp;
}

bool sameStamp(const std::wstring& first, const std::wstring& second) {
    const auto a = fileStampOf(first);
    const auto b = fileStampOf(second);
    return a && b && a->size == b->size && ::CompareFileTime(&a->lastWrite, &b->lastWrite) == 0;
}

}  // namespace tidewell
