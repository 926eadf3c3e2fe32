// A DLL of a name Windows has none of, for planting where a DLL search must not look.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
