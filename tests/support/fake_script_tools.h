#pragma once

// Stand-ins for the file system and the process runner, recording what the script run does.
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/error.h"
#include "install/file_system.h"
#include "process/process_runner.h"

namespace vantle::testing {

class FakeFileSystem final : public FileSystem {
  public:
    bool NormalFileExists(const std::wstring& path) const override {
        log.push_back(L"exists " + path);
        if (failExists) throw Error(5, L"FileSystem", L"Access is denied.");
        return files.count(path) != 0;
    }
    void Delete(const std::wstring& path) override {
        log.push_back(L"delete " + path);
        if (onDelete) onDelete();
        if (failDelete) throw Error(32, L"FileSystem", L"The file is in use.");
        files.erase(path);
    }
    // Resolves as the platform would from `currentFolder`, for "\x" and "x" alike.
    std::wstring FullPath(const std::wstring& path) const override {
        log.push_back(L"full " + path);
        if (!path.empty() && path[0] == L'\\') return currentFolder.substr(0, 2) + path;
        return currentFolder + L"\\" + path;
    }

    std::set<std::wstring> files;
    std::wstring currentFolder = L"D:\\Downloads";
    bool failExists = false;
    bool failDelete = false;
    std::function<void()> onDelete;
    mutable std::vector<std::wstring> log;
};

class FakeRunner final : public ProcessRunner {
  public:
    std::int32_t Run(const ProgramCommand& command, std::int32_t windowStyle) override {
        runs.push_back(command);
        styles.push_back(windowStyle);
        if (onRun) return onRun(command);
        return 0;
    }

    std::vector<ProgramCommand> runs;
    std::vector<std::int32_t> styles;
    std::function<std::int32_t(const ProgramCommand&)> onRun;
};

}  // namespace vantle::testing
