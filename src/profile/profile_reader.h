#pragma once

#include <string>

namespace vantle {

// Reads one value from a Windows profile (INI) file. Every failure (missing file, section or
// key, unreadable file) shows as "": callers cannot tell them apart and need not.
class ProfileReader {
  public:
    virtual ~ProfileReader() = default;
    virtual std::wstring INIRead(const std::wstring& sSection, const std::wstring& sKeyName,
                                 const std::wstring& sINIFileName) const = 0;
};

}  // namespace vantle
