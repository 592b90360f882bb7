#include "pe_image.h"

#include <cstdint>
#include <vector>

#include "common/text.h"

namespace tidewell::tools {

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kVersionResource = 16;  // RT_VERSION
constexpr uint32_t kSubdirectory = 0x80000000;

struct Section {
    uint32_t address, size, offset, rawSize;
};

// Little-endian reads that return nothing outside the bytes, so damaged images are refused
// rather than read past their end.
class Bytes {
public:
    explicit Bytes(const std::string& bytes) : bytes_(bytes) {}
    std::optional<uint32_t> u32(size_t at) const { return read(at, 4); }
    std::optional<uint32_t> u16(size_t at) const { return read(at, 2); }
    std::optional<std::string> text(size_t at) const {
        if (at >= bytes_.size()) return std::nullopt;
        const size_t end = bytes_.find('\0', at);
        if (end == std::string::npos) return std::nullopt;
        return bytes_.substr(at, end - at);
    }
    size_t size() const { return bytes_.size(); }

private:
    std::optional<uint32_t> read(size_t at, size_t count) const {
        if (at > bytes_.size() || bytes_.size() - at < count) return std::nullopt;
        uint32_t value = 0;
        for (size_t i = 0; i < count; ++i) value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes_[at + i])) << (8 * i);
        return value;
    }
    const std::string& bytes_;
};

class Image {
public:
    explicit Image(const std::string& bytes) : bytes_(bytes) {}

    bool parse() {
        if (bytes_.size() < 0x40 || bytes_.u16(0) != 0x5A4D) return false;  // "MZ"
        const auto header = bytes_.u32(0x3C);
        if (!header || bytes_.u32(*header) != 0x00004550) return false;  // "PE\0\0"
        const size_t file = *header + 4;
        const auto machine = bytes_.u16(file);
        if (!machine) return false;
        machine_ = *machine;
        const auto sections = bytes_.u16(file + 2), optionalSize = bytes_.u16(file + 16);
        const size_t optional = file + 20;
        const auto magic = bytes_.u16(optional);
        if (!sections || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B)) return false;
        directories_ = optional + (*magic == 0x10B ? 96 : 112);
        const auto directoryCount = bytes_.u32(directories_ - 4);
        if (!directoryCount) return false;
        directoryCount_ = *directoryCount;
        for (size_t i = 0, at = optional + *optionalSize; i < *sections; ++i, at += 40) {
            const auto size = bytes_.u32(at + 8), address = bytes_.u32(at + 12), rawSize = bytes_.u32(at + 16),
                       offset = bytes_.u32(at + 20);
            if (!size || !address || !rawSize || !offset) return false;
            sections_.push_back({*address, *size, *offset, *rawSize});
        }
        return true;
    }

    unsigned machine() const { return machine_; }

    std::set<std::wstring> exports() const {
        std::set<std::wstring> names;
        const auto directory = directoryAddress(0);
        if (!directory) return names;
        const auto count = at(*directory + 24), table = at(*directory + 32);
        if (!count || !table) return names;
        for (uint32_t i = 0; i < *count; ++i) {
            const auto nameAddress = at(*table + 4 * i);
            const auto name = nameAddress ? text(*nameAddress) : std::nullopt;
            if (!name) break;
            names.insert(fromAnsi(*name));
        }
        return names;
    }

    // The fixed part of the first VERSIONINFO resource: its file version.
    std::optional<std::wstring> version() const {
        const auto root = directoryAddress(2);
        if (!root) return std::nullopt;
        // Three levels: type, name, language. The first entry of each below RT_VERSION.
        auto entry = resourceEntry(*root, kVersionResource);
        for (int level = 0; entry && (*entry & kSubdirectory) && level < 2; ++level)
            entry = resourceEntry(*root + (*entry & ~kSubdirectory), std::nullopt);
        if (!entry || (*entry & kSubdirectory)) return std::nullopt;
        const auto dataAddress = at(*root + *entry), dataSize = at(*root + *entry + 4);
        if (!dataAddress || !dataSize) return std::nullopt;
        const auto offset = fileOffset(*dataAddress);
        if (!offset) return std::nullopt;
        for (uint32_t i = 0; i + 24 <= *dataSize; i += 4) {
            if (bytes_.u32(*offset + i) != kFixedInfoSignature) continue;
            const auto high = bytes_.u32(*offset + i + 8), low = bytes_.u32(*offset + i + 12);
            if (!high || !low) return std::nullopt;
            std::wstring text = toDecimal(*high >> 16) + L"." + toDecimal(*high & 0xFFFF) + L"." + toDecimal(*low >> 16);
            if ((*low & 0xFFFF) != 0) text += L"." + toDecimal(*low & 0xFFFF);
            return text;
        }
        return std::nullopt;
    }

private:
    std::optional<uint32_t> directoryAddress(uint32_t index) const {
        if (index >= directoryCount_) return std::nullopt;
        const auto address = bytes_.u32(directories_ + 8 * index);
        if (!address || *address == 0) return std::nullopt;
        return address;
    }

    std::optional<size_t> fileOffset(uint32_t address) const {
        for (const auto& section : sections_) {
            const uint32_t extent = section.size > section.rawSize ? section.size : section.rawSize;
            if (address >= section.address && address - section.address < extent) {
                const uint32_t into = address - section.address;
                if (into >= section.rawSize) return std::nullopt;
                return static_cast<size_t>(section.offset) + into;
            }
        }
        return std::nullopt;
    }
    std::optional<uint32_t> at(uint32_t address) const {
        const auto offset = fileOffset(address);
        return offset ? bytes_.u32(*offset) : std::nullopt;
    }
    std::optional<std::string> text(uint32_t address) const {
        const auto offset = fileOffset(address);
        return offset ? bytes_.text(*offset) : std::nullopt;
    }

    // The entry of a resource directory with the given id (or its first entry); its
    // OffsetToData field, relative to the resource root.
    std::optional<uint32_t> resourceEntry(uint32_t directory, std::optional<uint32_t> id) const {
        const auto named = at(directory + 12);
        if (!named) return std::nullopt;
        const uint32_t namedCount = *named & 0xFFFF, idCount = *named >> 16;
        for (uint32_t i = 0; i < namedCount + idCount && i < 4096; ++i) {
            const uint32_t entry = directory + 16 + 8 * i;
            const auto name = at(entry), data = at(entry + 4);
            if (!name || !data) return std::nullopt;
            if (!id || (i >= namedCount && *name == *id)) return data;
        }
        return std::nullopt;
    }

    Bytes bytes_;
    size_t directories_ = 0;
    uint32_t directoryCount_ = 0;
    unsigned machine_ = 0;
    std::vector<Section> sections_;
};

}  // namespace

std::wstring libraryFileName(unsigned machine) { return machine == kMachineX64 ? L"Tidewell64.dll" : L"Tidewell.dll"; }

bool runsOnPlatform(unsigned machine, const std::wstring& platform) {
    if (platform == L"Intel") return machine == kMachineX86;
    if (platform == L"x64") return machine == kMachineX86 || machine == kMachineX64;
    return true;  // other platforms are not judged here
}

std::optional<PeImage> readPeImage(const std::string& bytes) {
    Image image(bytes);
    if (!image.parse()) return std::nullopt;
    return PeImage{image.exports(), image.version(), image.machine()};
}

}  // namespace tidewell::tools
