#include "common/dll_search_win.h"

#include <windows.h>

namespace vantle {

void RestrictDllSearchToSystemFolder() {
    // Windows 8 and later, and Windows 7 with KB2533623; looked up rather than imported, so the
    // program still starts without it.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories == nullptr ||
        !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // Without it nothing takes the program's folder out of the search, but the current
        // folder can go. Unlike the call above, this one passes on to the processes started
        // from here, whose current folder is the program's.
        SetDllDirectoryW(L"");
    }
    // SearchPathW, which system code uses to find files by name, then looks in the current
    // folder only after the system folders, and nothing loaded later can turn that back.
    SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
}

}  // namespace vantle
