#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/system_message_win.h"
#include "common/unique_handle_win.h"
#include "process/process_runner.h"

namespace vantle {

// The platform calls SyncShell makes, one virtual each, so that tests can make any of them
// fail. The real ones are the defaults.
class ProcessPlatform {
  public:
    struct Started {
        DWORD processId = 0;
        // Keeps the process object alive until SyncShell has opened its own handle, so a child
        // that ends at once cannot take its identifier with it.
        UniqueHandle keepAlive;
    };

    virtual ~ProcessPlatform() = default;
    // Raises Error with the system's number and message when the program cannot be started.
    virtual Started Start(const ProgramCommand& command, std::int32_t windowStyle);
    virtual HANDLE Open(DWORD processId);
    virtual void Wait(HANDLE process);
    virtual bool GetExitCode(HANDLE process, DWORD* exitCode);
    virtual DWORD LastError();

    static ProcessPlatform& Real();
};

namespace ShellModule {

// Starts `commandLine` as a new process with the given show state, waits until it ends and
// returns its exit code. Raises 0x8004AA02 when no process identifier comes back, 0x8004AA01
// when the process cannot be opened and 0x8004AA00 when its exit code cannot be read.
std::int32_t SyncShell(const std::wstring& commandLine, std::int32_t windowStyle);
std::int32_t SyncShell(const ProgramCommand& command, std::int32_t windowStyle,
                       ProcessPlatform& platform = ProcessPlatform::Real());

}  // namespace ShellModule

class ShellProcessRunner final : public ProcessRunner {
  public:
    std::int32_t Run(const ProgramCommand& command, std::int32_t windowStyle) override {
        return ShellModule::SyncShell(command, windowStyle);
    }
};

}  // namespace vantle
