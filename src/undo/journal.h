#pragma once
// The undo journal's byte format: a flat little-endian stream of 16-bit units with no
// header, checksum or terminator. Each journal object names its members in order through
// JournalFields; the same description writes and reads them.
//
//   type 1  boolean        one unit, the value in the low byte
//   type 4  32-bit value   two units, low half first
//   type 6/8 wide text     its length in characters (type 4), then the UTF-16 units
//   type 11 text map       entry count (type 4), then key and value (type 8) per entry
//   type 12 object map     entry count (type 4), then per entry the key (type 8), the
//                          tag 10 (type 4) and the object's members
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tidewell {

inline constexpr std::uint32_t kJournalObjectTag = 10;

class JournalFields {
public:
    virtual ~JournalFields() = default;
    virtual bool reading() const = 0;
    // After a failed read every later read fails too and leaves its value alone.
    virtual bool failed() const = 0;
    virtual void boolean(bool& value) = 0;
    virtual void int32(std::int32_t& value) = 0;
    virtual void text(std::wstring& value) = 0;
    virtual void textMap(std::map<std::wstring, std::wstring>& value) = 0;
    // Reading: fails unless the next 32-bit value is the tag.
    virtual void tag(std::uint32_t value) = 0;
    // Reading: marks the input as not a journal.
    virtual void fail() = 0;
};

class JournalWriter final : public JournalFields {
public:
    bool reading() const override { return false; }
    bool failed() const override { return false; }
    void boolean(bool& value) override;
    void int32(std::int32_t& value) override;
    void text(std::wstring& value) override;
    void textMap(std::map<std::wstring, std::wstring>& value) override;
    void tag(std::uint32_t value) override;
    void fail() override {}
    const std::vector<unsigned char>& bytes() const { return bytes_; }

private:
    void unit(std::uint16_t value);
    void count(std::uint32_t value);
    std::vector<unsigned char> bytes_;
};

// Reads any bytes without reading past them: truncated input, oversized counts and
// lengths make it fail instead.
class JournalReader final : public JournalFields {
public:
    explicit JournalReader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
    bool reading() const override { return true; }
    bool failed() const override { return failed_; }
    bool atEnd() const { return at_ == bytes_.size(); }
    void boolean(bool& value) override;
    void int32(std::int32_t& value) override;
    void text(std::wstring& value) override;
    void textMap(std::map<std::wstring, std::wstring>& value) override;
    void tag(std::uint32_t value) override;
    void fail() override { failed_ = true; }

private:
    bool unit(std::uint16_t& value);
    bool count(std::uint32_t& value);
    const std::vector<unsigned char>& bytes_;
    size_t at_ = 0;
    bool failed_ = false;
};

// A map of objects by key (type 12). Reading creates each entry with make(key) and
// fails on a repeated key; entries read before a failure stay in the map.
template <typename Object, typename Make>
void journalObjectMap(JournalFields& fields, std::map<std::wstring, std::unique_ptr<Object>>& map, Make make) {
    if (!fields.reading()) {
        std::int32_t count = static_cast<std::int32_t>(map.size());
        fields.int32(count);
        for (auto& [key, object] : map) {
            std::wstring name = key;
            fields.text(name);
            fields.tag(kJournalObjectTag);
            object->serialise(fields);
        }
        return;
    }
    std::int32_t count = 0;
    fields.int32(count);
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(count) && !fields.failed(); ++i) {
        std::wstring key;
        fields.text(key);
        fields.tag(kJournalObjectTag);
        if (fields.failed() || map.count(key) != 0) {
            fields.fail();
            return;
        }
        std::unique_ptr<Object> object = make(key);
        object->serialise(fields);
        map.emplace(key, std::move(object));
    }
}

}  // namespace tidewell
