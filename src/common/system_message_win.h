#pragma once

#include <windows.h>

#include <string>

namespace vantle {

// The system's message text for a Win32 error code or HRESULT, without the trailing line
// break; empty when the system has none: the reports then say so in words of their own,
// never "Unknown error".
std::wstring SystemMessage(DWORD errorCode);

}  // namespace vantle
