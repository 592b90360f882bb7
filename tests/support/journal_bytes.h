#pragma once
// Journal bytes written out by hand, as the format lays them down: little-endian 16-bit
// units, 32-bit values as two units, wide strings as their length then their characters.
#include <cstdint>
#include <string>
#include <vector>

namespace tidewell::test {

struct Bytes {
    std::vector<unsigned char> v;
    Bytes& u16(std::uint16_t x) {
        v.push_back(static_cast<unsigned char>(x & 0xFF));
        v.push_back(static_cast<unsigned char>(x >> 8));
        return *this;
    }
    Bytes& u32(std::uint32_t x) { return u16(static_cast<std::uint16_t>(x & 0xFFFF)).u16(static_cast<std::uint16_t>(x >> 16)); }
    Bytes& str(const std::wstring& s) {
        u32(static_cast<std::uint32_t>(s.size()));
        for (wchar_t c : s) u16(static_cast<std::uint16_t>(c));
        return *this;
    }
};

}  // namespace tidewell::test
