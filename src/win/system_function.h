#pragma once
// A function of a system DLL that is looked up rather than imported: newer than the oldest
// system the library runs on, or missing from the import libraries (ntdll's native
// calls). The DLL is one that every process running the library has loaded already.
#include <windows.h>

namespace tidewell {

template <typename Function>
Function systemFunction(const wchar_t* module, const char* name) {
    const HMODULE loaded = ::GetModuleHandleW(module);
    return loaded ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(loaded, name))) : nullptr;
}

}  // namespace tidewell
