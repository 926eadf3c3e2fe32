#pragma once

#include <windows.h>

#include <string>

namespace vantle {

// The system's message text for a Win32 error code, without the trailing line break;
// "Unknown error 0x…" when the system has none.
std::wstring SystemMessage(DWORD errorCode);

}  // namespace vantle
