#pragma once

#include <string>

namespace vantle {

// What the program reads from its surroundings besides profile files.
class Environment {
  public:
    virtual ~Environment() = default;
    // The variable's value, or "" when it is not set.
    virtual std::wstring Variable(const std::wstring& name) const = 0;
    // The folder holding the running executable; a drive root keeps its backslash ("C:\").
    virtual std::wstring ProgramFolder() const = 0;
    // The system folder (System32), where the system's own cmd.exe lives.
    virtual std::wstring SystemFolder() const = 0;
};

// "C:\dir\app.exe" -> "C:\dir"; "C:\app.exe" -> "C:\".
std::wstring FolderOfFile(const std::wstring& filePath);

// True when `path` names one place whatever the current folder and drive: "C:\..." or
// "\\server\share\..." (either slash). "\dir", "C:dir" and "dir" depend on them.
bool IsFullyQualifiedPath(const std::wstring& path);

}  // namespace vantle
