#pragma once

#include <windows.h>

namespace vantle::testing {

// The display's DPI as the platform reads it for each new process (LogPixels), for as long as
// this object lives; the earlier setting comes back afterwards.
class DisplayDpi {
  public:
    explicit DisplayDpi(DWORD dpi) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
        DWORD size = sizeof old_;
        hadOld_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&old_), &size) == ERROR_SUCCESS;
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                       sizeof dpi);
    }
    DisplayDpi(const DisplayDpi&) = delete;
    DisplayDpi& operator=(const DisplayDpi&) = delete;
    ~DisplayDpi() {
        if (hadOld_) {
            RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_),
                           sizeof old_);
        } else {
            RegDeleteValueW(key_, L"LogPixels");
        }
        RegCloseKey(key_);
    }

  private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool hadOld_ = false;
};

}  // namespace vantle::testing
