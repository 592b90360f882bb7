#pragma once
// What the deferred move made at a destination on another volume than its source: a new
// file, whose volume serial number and file index are known only once it is made. They
// are written ahead, before the source is deleted, into "VUMV_<ProductCode>.tmp" in the
// library's protected journal folder; the rollback moves back only that very file. A
// move within one volume keeps the file's identity, which the planner recorded.
#include <map>
#include <optional>
#include <string>

#include "common/log_sink.h"
#include "move_files/file_stamp.h"

namespace tidewell {

class MoveRecord {
public:
    // The installation's record (its ProductCode).
    MoveRecord(const std::wstring& installation, const LogSink* log);

    // Writes the identity of the file made at the destination, with every one written
    // before; false when it cannot be written (the move is then not made).
    bool add(const std::wstring& destination, const FileIdentity& made);
    // Reads the record a deferred move wrote; false when there is none or it cannot be
    // trusted or read (the log says which).
    bool load();
    // The identity written for the destination, if any.
    std::optional<FileIdentity> madeAt(const std::wstring& destination) const;
    // Deletes the record (after the rollback, or before a new run writes its own).
    void remove();
    const std::wstring& path() const { return path_; }

private:
    bool save() const;

    const LogSink* log_;
    std::wstring path_;
    std::wstring owner_;
    std::map<std::wstring, std::wstring> made_;  // destination -> identity text
};

}  // namespace tidewell
