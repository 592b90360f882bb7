#include "undo/journal.h"

namespace tidewell {

void JournalWriter::unit(std::uint16_t value) {
    bytes_.push_back(static_cast<unsigned char>(value & 0xFF));
    bytes_.push_back(static_cast<unsigned char>(value >> 8));
}

void JournalWriter::count(std::uint32_t value) {
    unit(static_cast<std::uint16_t>(value & 0xFFFF));
    unit(static_cast<std::uint16_t>(value >> 16));
}

void JournalWriter::boolean(bool& value) { unit(value ? 1 : 0); }
void JournalWriter::int32(std::int32_t& value) { count(static_cast<std::uint32_t>(value)); }
void JournalWriter::tag(std::uint32_t value) { count(value); }

void JournalWriter::text(std::wstring& value) {
    count(static_cast<std::uint32_t>(value.size()));
    for (wchar_t c : value) unit(static_cast<std::uint16_t>(c));
}

void JournalWriter::textMap(std::map<std::wstring, std::wstring>& value) {
    count(static_cast<std::uint32_t>(value.size()));
    for (const auto& [key, mapped] : value) {
        std::wstring k = key, v = mapped;
        text(k);
        text(v);
    }
}

bool JournalReader::unit(std::uint16_t& value) {
    if (failed_ || bytes_.size() - at_ < 2) {
        failed_ = true;
        return false;
    }
    value = static_cast<std::uint16_t>(bytes_[at_] | (bytes_[at_ + 1] << 8));
    at_ += 2;
    return true;
}

bool JournalReader::count(std::uint32_t& value) {
    std::uint16_t low = 0, high = 0;
    if (!unit(low) || !unit(high)) return false;
    value = low | (static_cast<std::uint32_t>(high) << 16);
    return true;
}

void JournalReader::boolean(bool& value) {
    std::uint16_t read = 0;
    if (unit(read)) value = (read & 0xFF) != 0;
}

void JournalReader::int32(std::int32_t& value) {
    std::uint32_t read = 0;
    if (count(read)) value = static_cast<std::int32_t>(read);
}

void JournalReader::tag(std::uint32_t value) {
    std::uint32_t read = 0;
    if (count(read) && read != value) failed_ = true;
}

void JournalReader::text(std::wstring& value) {
    std::uint32_t length = 0;
    if (!count(length)) return;
    // The length must fit in what is left before anything is allocated for it.
    if ((bytes_.size() - at_) / 2 < length) {
        failed_ = true;
        return;
    }
    std::wstring read(length, L'\0');
    for (auto& c : read) {
        c = static_cast<wchar_t>(bytes_[at_] | (bytes_[at_ + 1] << 8));
        at_ += 2;
    }
    value = std::move(read);
}

void JournalReader::textMap(std::map<std::wstring, std::wstring>& value) {
    std::uint32_t entries = 0;
    if (!count(entries)) return;
    std::map<std::wstring, std::wstring> read;
    for (std::uint32_t i = 0; i < entries && !failed_; ++i) {
        std::wstring key, mapped;
        text(key);
        text(mapped);
        if (!failed_) read[key] = std::move(mapped);
    }
    if (!failed_) value = std::move(read);
}

}  // namespace tidewell
