#include "install/file_system_win.h"

#include <windows.h>

#include <vector>

#include "common/error.h"
#include "common/system_message_win.h"

namespace vantle {
namespace {

[[noreturn]] void RaiseFileError(DWORD error) {
    throw Error(ErrorNumber(static_cast<std::uint32_t>(HRESULT_FROM_WIN32(error))), L"FileSystem",
                SystemMessage(error));
}

}  // namespace

bool WindowsFileSystem::NormalFileExists(const std::wstring& path) const {
    // Attributes of exactly this path: unlike a directory search, '*' and '?' in a folder
    // name cannot turn the test into a wildcard match.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
        RaiseFileError(error);
    }
    return (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

void WindowsFileSystem::Delete(const std::wstring& path) {
    if (!DeleteFileW(path.c_str())) RaiseFileError(GetLastError());
}

std::wstring WindowsFileSystem::FullPath(const std::wstring& path) const {
    // "\x" takes the drive of the current folder, "C:x" that drive's own current folder (kept
    // in the hidden "=C:" variable), "x" the current folder itself.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) return path;
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length);  // the size needed, terminator included
    }
}

}  // namespace vantle
