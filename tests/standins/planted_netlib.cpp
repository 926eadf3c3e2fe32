// A DLL planted where the DLL search order must never look (the program's folder, the current
// folder), under the bare name the stand-in provider loads its network library by. Loaded, it
// leaves a mark: a line in %VANTLE_FAKE_RECORD_DIR%\planted.calls naming where it was loaded
// from, in the stand-in tools' record format.
#include <windows.h>

#include <string>

#include "standins/record_win.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 4);
    vantle::testing::AppendRecord(L"planted", std::wstring(path, length));
    return TRUE;
}
