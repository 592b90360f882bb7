#pragma once
// A command script on disk, in the account that runs it: created new under a fresh name,
// read back, held open while it runs so that nobody can change or replace it, and deleted
// when its owner ends, in that same account. A user's script lies in the user's own
// folder and is touched only while acting as the user, never with this process's rights.
#include <windows.h>

#include <string>

#include "common/log_sink.h"
#include "common/unique_any.h"

namespace tidewell {

class ScriptFile {
public:
    // token: the user's, whom every step acts as; null: this process's own account. The
    // log may be null.
    ScriptFile(HANDLE token, const LogSink* log) : token_(token), log_(log) {}
    // Deletes the file, acting as its account; where that account cannot be taken on, the
    // file stays.
    ~ScriptFile();
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;

    // Creates "<folder>\{GUID}.bat" with the bytes, reads it back and holds it open for
    // reading only (no write or delete sharing). False, logged, when it cannot be
    // written or does not read back as written: then it must not run.
    bool write(const std::wstring& folder, const std::string& bytes);
    // The file's path once write has chosen it.
    const std::wstring& path() const { return path_; }

private:
    HANDLE token_;
    const LogSink* log_;
    std::wstring path_;
    unique_hfile held_;
};

}  // namespace tidewell
