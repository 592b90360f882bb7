#include "win/file_content.h"

#include <vector>

#include "win/fault_seam.h"

namespace tidewell {

bool copyContent(HANDLE source, HANDLE destination) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) return false;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        DWORD read = 0, written = 0;
        if (seamFails(SeamCall::Read) || !::ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0) return true;
        if (!seamWriteFile(destination, buffer.data(), read, &written) || written != read) {
            if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
    }
}

}  // namespace tidewell
