#include "common/environment_win.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace vantle {

WindowsEnvironment::WindowsEnvironment()
    : moduleFileName_([](wchar_t* buffer, unsigned long size) {
          return GetModuleFileNameW(nullptr, buffer, size);
      }) {}

WindowsEnvironment::WindowsEnvironment(ModuleFileName moduleFileName)
    : moduleFileName_(std::move(moduleFileName)) {}

std::wstring WindowsEnvironment::Variable(const std::wstring& name) const {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD needed =
            GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (needed == 0) return L"";  // unset, or set to ""
        if (needed < buffer.size()) return std::wstring(buffer.data(), needed);
        buffer.resize(needed);  // needed includes the terminator when the buffer is short
    }
}

std::wstring WindowsEnvironment::ProgramFolder() const {
    // GetModuleFileNameW truncates silently; grow until the whole path fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = moduleFileName_(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return L"";
        if (length < buffer.size()) return FolderOfFile(std::wstring(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring WindowsEnvironment::SystemFolder() const {
    wchar_t buffer[MAX_PATH + 1];
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
    return std::wstring(buffer, length <= MAX_PATH ? length : 0);
}

}  // namespace vantle
