#include "common/log_sink.h"

#include "common/text.h"

namespace tidewell {

void LogSink::line(std::initializer_list<std::wstring_view> pieces) const {
    line(concat(pieces));
}

}  // namespace tidewell
