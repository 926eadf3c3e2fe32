#include "profile/ini_read_win.h"

#include <windows.h>

#include <array>

#include "common/ansi_text_win.h"

namespace vantle {

std::wstring WindowsProfileReader::INIRead(const std::wstring& sSection,
                                           const std::wstring& sKeyName,
                                           const std::wstring& sINIFileName) const {
    const std::string section = ToAnsi(sSection);
    const std::string key = ToAnsi(sKeyName);
    const std::string file = ToAnsi(sINIFileName);
    std::array<char, kBufferSize> buffer{};
    // Returns the count copied without the terminator; a value that does not fit is cut to
    // kBufferSize - 1 characters, and the default "" stands in for anything missing.
    const DWORD copied = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                  kBufferSize, file.c_str());
    return FromAnsi(std::string(buffer.data(), copied));
}

}  // namespace vantle
