#pragma once

#include <string>

namespace vantle {

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // True for an existing normal file at exactly `path`: folders, hidden and system files are
    // not seen. Raises Error when the path cannot be looked at (other than "not there").
    virtual bool NormalFileExists(const std::wstring& path) const = 0;
    // Raises Error when the file cannot be deleted.
    virtual void Delete(const std::wstring& path) = 0;
};

}  // namespace vantle
