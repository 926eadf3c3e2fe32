#pragma once

#include "profile/profile_reader.h"

namespace vantle {

// The platform's own profile parser, through the ANSI entry point: existing profile files are
// written in the system code page, and the ANSI function reads them the way the application
// that owns them does.
class WindowsProfileReader final : public ProfileReader {
  public:
    // Room for 254 characters and the terminator, so longer values arrive cut to 254.
    static constexpr int kBufferSize = 255;

    std::wstring INIRead(const std::wstring& sSection, const std::wstring& sKeyName,
                         const std::wstring& sINIFileName) const override;
};

}  // namespace vantle
