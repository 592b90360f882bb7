#pragma once
// The authoring kit (authoring/*.idt) as the tools carry it, embedded at build time, so
// that adding the library and checking a package compare with the very files authors import.
#include <map>
#include <string>

#include "idt_table.h"

namespace tidewell::tools {

// The kit's tables by name. Throws when a table the tools need is missing.
std::map<std::wstring, IdtTable> loadKit();

}  // namespace tidewell::tools
