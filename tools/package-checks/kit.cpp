#include "kit.h"

#include <stdexcept>

#include "common/text.h"
#include "kit_files.h"

namespace tidewell::tools {

std::map<std::wstring, IdtTable> loadKit() {
    std::map<std::wstring, IdtTable> kit;
    for (const auto& file : kit::kKitFiles) {
        IdtTable table = parseIdt(std::string(reinterpret_cast<const char*>(file.bytes), file.size));
        const std::wstring name = table.name;
        kit.emplace(name, std::move(table));
    }
    for (const wchar_t* needed : {L"CustomAction", L"InstallExecuteSequence", L"Error", L"_Validation", L"ActionText"})
        if (!kit.contains(needed)) throw std::runtime_error("the kit lacks " + toUtf8(needed) + ".idt");
    return kit;
}

}  // namespace tidewell::tools
