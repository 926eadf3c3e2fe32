#pragma once

#include <cstdint>
#include <string>

#include "common/error.h"

namespace vantle {

// The runner's own failures: fixed numbers, its name as the source.
inline constexpr std::int32_t kErrorExitCode = ErrorNumber(0x8004AA00u);
inline constexpr std::int32_t kErrorOpenProcess = ErrorNumber(0x8004AA01u);
inline constexpr std::int32_t kErrorShell = ErrorNumber(0x8004AA02u);
inline constexpr const wchar_t* kSyncShellSource = L"SyncShell";
inline constexpr const wchar_t* kExitCodeFailure = L"Failed to retrieve exit code, error ";
inline constexpr const wchar_t* kOpenFailure = L"Failed to open child process";
inline constexpr const wchar_t* kShellFailure = L"Failed to Shell child process";

// Show states in the platform's numbering.
inline constexpr std::int32_t kWindowHidden = 0;

struct ProgramCommand {
    // The program file to run. Empty: the platform finds the program named first in the
    // command line by its own search rules (program folder, current folder, then PATH).
    std::wstring application;
    std::wstring commandLine;
};

// Runs a command line as a new process and waits for it to end.
class ProcessRunner {
  public:
    virtual ~ProcessRunner() = default;
    // Returns the exit code unchanged; raises Error on failure.
    virtual std::int32_t Run(const ProgramCommand& command, std::int32_t windowStyle) = 0;
};

}  // namespace vantle
