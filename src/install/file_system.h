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
    // `path` made absolute against this process's current folder and drive, as the file
    // functions read it here; `path` unchanged when it cannot be.
    virtual std::wstring FullPath(const std::wstring& path) const = 0;
};

}  // namespace vantle
