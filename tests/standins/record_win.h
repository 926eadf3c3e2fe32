#pragma once

// What the stand-ins share to leave their records: a line per call in
// %VANTLE_FAKE_RECORD_DIR%\<name>.calls, each field a letter and the hex of its UTF-8 text,
// which tests read back with ReadCalls (support/standin_calls.h). Header-only, so that each
// stand-in stays one module that links nothing of the program's.
#include <windows.h>

#include <string>

#include "support/hex.h"

namespace vantle::testing {

inline std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), needed, nullptr, nullptr);
    return out;
}

// Appends to `file`, shared with every other writer, one write at a time.
inline void AppendLine(const std::wstring& file, const std::string& line) {
    const HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(h);
}

// One record of a single field, `event`, in <name>.calls; nothing when no folder is set.
inline void AppendRecord(const std::wstring& name, const std::wstring& event) {
    wchar_t folder[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableW(L"VANTLE_FAKE_RECORD_DIR", folder, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) return;
    AppendLine(std::wstring(folder, length) + L"\\" + name + L".calls",
               "x" + ToHex(Utf8(event)) + "\n");
}

}  // namespace vantle::testing
