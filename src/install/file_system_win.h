#pragma once

#include "install/file_system.h"

namespace vantle {

class WindowsFileSystem final : public FileSystem {
  public:
    bool NormalFileExists(const std::wstring& path) const override;
    void Delete(const std::wstring& path) override;
    std::wstring FullPath(const std::wstring& path) const override;
};

}  // namespace vantle
