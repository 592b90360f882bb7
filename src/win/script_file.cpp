#include "win/script_file.h"

#include "common/text.h"
#include "win/fault_seam.h"
#include "win/guid_text.h"
#include "win/paths.h"
#include "win/user_process.h"

namespace tidewell {

namespace {

std::wstring errorText(DWORD code) { return concat({L" (error ", toDecimal(code), L")"}); }

}  // namespace

ScriptFile::~ScriptFile() {
    held_.reset();
    if (path_.empty()) return;
    const ActingAs account(token_);
    if (account.holds()) deleteFile(path_);
}

bool ScriptFile::write(const std::wstring& folder, const std::string& bytes) {
    const ActingAs account(token_);
    if (!account.holds()) {
        if (log_) log_->line({L"cannot act as the script's user to write it", errorText(::GetLastError())});
        return false;
    }
    std::wstring path = folder;
    ensureTrailingBackslash(path);
    path += concat({newGuidText(), L".bat"});
    {
        // Created new, never through a file already there.
        const unique_hfile file(seamFails(SeamCall::Create) ? INVALID_HANDLE_VALUE
                                                            : ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (log_) log_->line({L"cannot create the script ", path, errorText(::GetLastError())});
            return false;
        }
        path_ = path;
        DWORD written = 0;
        if (!seamWriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written) ||
            written != bytes.size()) {
            if (log_) log_->line({L"cannot write the script ", path, errorText(::GetLastError())});
            return false;
        }
    }
    // Read back by its account (a script it cannot read would run nothing), and held:
    // from here on nobody can open it for writing, rename or delete it until it has run.
    held_.reset(seamFails(SeamCall::Open) ? INVALID_HANDLE_VALUE
                                          : ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    std::string back(bytes.size() + 1, '\0');
    DWORD read = 0;
    if (!held_ || seamFails(SeamCall::Read) ||
        !::ReadFile(held_.get(), back.data(), static_cast<DWORD>(back.size()), &read, nullptr) ||
        read != bytes.size() || back.compare(0, read, bytes) != 0) {
        if (log_) log_->line({L"the script ", path, L" cannot be read back by the account it runs in",
                              errorText(::GetLastError())});
        return false;
    }
    return true;
}

}  // namespace tidewell
