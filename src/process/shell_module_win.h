#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

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
        // A command that ends with this program runs in a job of its own that ends every
        // process in it when its last handle closes: this one, when SyncShell returns or
        // raises, or the system's, when this program ends however it ends.
        UniqueHandle job;
    };

    // A process as the system lists it: who started it, as far as the system remembers.
    struct Listed {
        DWORD processId = 0;
        DWORD parentId = 0;
    };
    struct ProcessList {
        FILETIME taken{};  // just before the list was made: nothing created since is in it
        std::vector<Listed> processes;
    };

    virtual ~ProcessPlatform() = default;
    // Raises Error with the system's number and message when the program cannot be started.
    virtual Started Start(const ProgramCommand& command, std::int32_t windowStyle);
    virtual HANDLE Open(DWORD processId);
    // True once the process has ended; false when `stop` (if given) was signalled first. Raises
    // Error with the system's number when the wait itself fails.
    virtual bool Wait(HANDLE process, HANDLE stop);
    // Ends the job's processes, or, without a job or when the job cannot be ended, the process
    // and what its parent links show it started; then waits until the process has gone.
    virtual EndedBy End(HANDLE job, HANDLE process);
    virtual bool GetExitCode(HANDLE process, DWORD* exitCode);
    virtual DWORD LastError();

    // The calls Start and End are made of, so that a test can refuse what Windows 7 refuses.
    // CreateProcessW of `command` with `flags`; false with the system's error set.
    virtual bool Create(const ProgramCommand& command, STARTUPINFOW startup, DWORD flags,
                        wchar_t* environment, PROCESS_INFORMATION& created);
    virtual bool JoinJob(HANDLE job, HANDLE process);
    virtual ProcessList ListProcesses();

    static ProcessPlatform& Real();
};

namespace ShellModule {

// Starts `commandLine` as a new process with the given show state, waits until it ends and
// returns its exit code. Raises 0x8004AA02 when no process identifier comes back, 0x8004AA01
// when the process cannot be opened and 0x8004AA00 when its exit code cannot be read.
std::int32_t SyncShell(const std::wstring& commandLine, std::int32_t windowStyle);
// The same for a prepared command. When `stop` is signalled while the process runs, it is
// ended with everything it started, and kErrorStopped is raised. When the wait itself fails, a
// command that ends with this program is ended the same way, and the failure raised. Either
// description ends in the note of how it was ended (EndedNote) when not by its job.
std::int32_t SyncShell(const ProgramCommand& command, std::int32_t windowStyle,
                       ProcessPlatform& platform = ProcessPlatform::Real(), HANDLE stop = nullptr);

}  // namespace ShellModule

// The runner of the program's tools: each run can be stopped through `stop`, an event the
// dialog sets when the operator has confirmed (nullptr: never).
class ShellProcessRunner final : public ProcessRunner {
  public:
    explicit ShellProcessRunner(HANDLE stop = nullptr,
                                ProcessPlatform& platform = ProcessPlatform::Real())
        : stop_(stop), platform_(platform) {}
    std::int32_t Run(const ProgramCommand& command, std::int32_t windowStyle) override {
        return ShellModule::SyncShell(command, windowStyle, platform_, stop_);
    }

  private:
    HANDLE stop_;
    ProcessPlatform& platform_;
};

}  // namespace vantle
