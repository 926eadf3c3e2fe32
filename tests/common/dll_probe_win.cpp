// dll_probe [restricted] NAME: loads the DLL NAME by that name, after the program's own DLL
// search restriction when asked to, and exits with 0 when it loaded, else with the error.
// A process of its own, so that the restriction reaches no other test.
#include <windows.h>

#include <string>

#include "common/dll_search_win.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    if (argc > 2 && std::wstring(argv[1]) == L"restricted")
        vantle::RestrictDllSearchToSystemFolder();
    const HMODULE module = LoadLibraryW(argv[argc - 1]);
    return module != nullptr ? 0 : static_cast<int>(GetLastError());
}
