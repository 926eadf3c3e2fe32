#pragma once

// Helpers for tests that drive real Windows processes and windows under Wine.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/unique_handle_win.h"

namespace vantle::testing {

// The folder holding the running test executable; every built program lands there.
std::filesystem::path BinFolder();

// A fresh folder under %TEMP%, removed with everything in it at the end of the test.
class TempDir {
  public:
    explicit TempDir(const std::wstring& nameHint = L"vantle");
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }
    std::wstring Win() const { return path_.wstring(); }

  private:
    std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& file);

// The current environment with some variables replaced, added (value) or removed (nullopt).
using EnvironmentOverrides = std::map<std::wstring, std::optional<std::wstring>>;
std::wstring EnvironmentBlock(const EnvironmentOverrides& overrides);

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&&) = default;
    // A child still running when it is replaced or at the end of a test is terminated: a
    // survivor would hold CTest's output pipe open and stall the run.
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    // Starts `exe` with `commandLine` (the whole line, argv[0] included).
    static ChildProcess Start(const std::filesystem::path& exe, const std::wstring& commandLine,
                              const EnvironmentOverrides& overrides = {},
                              const std::filesystem::path& currentFolder = {});

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.Get(); }
    // True once the process has ended within `timeout`; its exit code in *exitCode.
    bool WaitForExit(std::chrono::milliseconds timeout, DWORD* exitCode = nullptr) const;
    bool IsRunning() const;

  private:
    void Terminate() noexcept;

    UniqueHandle process_;
    DWORD id_ = 0;
};

// Polls for a visible top-level window of `processId` with the given caption (any when empty).
HWND WaitForTopWindow(DWORD processId, const std::wstring& caption,
                      std::chrono::milliseconds timeout);

// Polls for a visible message box (dialog class "#32770") of `processId` with that title.
HWND WaitForMessageBox(DWORD processId, const std::wstring& title,
                       std::chrono::milliseconds timeout);

// How many kernel handles this process holds, found by asking about every handle value in
// turn. GetProcessHandleCount cannot be used for this: Wine always answers 0.
DWORD OpenHandleCount();

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

// Waits until `condition` holds, polling; returns its last value.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(20);
    }
}

}  // namespace vantle::testing

namespace vantle::testing {
// For failure messages: gtest prints narrow strings readably.
std::string ToUtf8Text(const std::wstring& text);
// The stand-ins' records are UTF-8.
std::wstring FromUtf8Text(const std::string& text);
}  // namespace vantle::testing
