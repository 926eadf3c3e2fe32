// A DLL planted where the DLL search order must never look (the program's folder, the current
// folder), under the bare name the stand-in provider loads its network library by. Loaded, it
// leaves a mark: a line in %VANTLE_FAKE_RECORD_DIR%\planted.calls naming where it was loaded
// from, in the stand-in tools' record format.
#include <windows.h>

#include <string>

#include "support/hex.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"VANTLE_FAKE_RECORD_DIR", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    wchar_t path[MAX_PATH];
    const DWORD pathLength = GetModuleFileNameW(module, path, MAX_PATH);
    char utf8[MAX_PATH * 4];
    const int size = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(pathLength), utf8,
                                         sizeof utf8, nullptr, nullptr);
    const std::string line = "x" + vantle::testing::ToHex(std::string(utf8, size)) + "\n";
    const HANDLE file =
        CreateFileW((std::wstring(folder, length) + L"\\planted.calls").c_str(), FILE_APPEND_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return TRUE;
}
