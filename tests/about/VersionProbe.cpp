// The code of the small DLLs whose version resources the about box's GetDllVer reads in the
// tests; each DLL differs only in its resource.

#include <windows.h>

extern "C" __declspec(dllexport) int LmVersionProbe() { return 1; }
