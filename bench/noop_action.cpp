// A custom action that does nothing: what any DLL action costs the installer.
#include <windows.h>
#include <msi.h>

extern "C" UINT __stdcall Noop(MSIHANDLE) { return ERROR_SUCCESS; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
