#include <windows.h>

// The library keeps no per-process or per-thread state that needs setting up.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
