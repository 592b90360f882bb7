#pragma once
// Where the removal walker hands an item instead of deleting it (the undo transaction).
#include <string>

namespace tidewell {

class RemovalSink {
public:
    virtual ~RemovalSink() = default;
    // Takes the file or folder at the full path away; true when the sink now holds it.
    virtual bool take(const std::wstring& path) = 0;
};

}  // namespace tidewell
