#pragma once

#include <windows.h>

namespace vantle {

// Per-monitor DPI functions exist from Windows 10 1607 on; older systems fall back to the
// system DPI so the program still starts there.
UINT WindowDpi(HWND window);
RECT WindowRectForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi);
LOGFONTW MessageFontForDpi(UINT dpi);

}  // namespace vantle
