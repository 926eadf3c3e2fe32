#pragma once

// The process platform of SyncShell with its real calls, but those a test names fail or are
// steered: the refusals Windows 7 makes and Wine never does, failures no real process can cause,
// and what the system lists of its processes. Used by the process runner's tests and by
// VantleSetupHarness.exe, whose run of the tools it steers.
#include <windows.h>

#include <functional>
#include <vector>

#include "process/shell_module_win.h"

namespace vantle::testing {

struct ProcessHandle {
    HANDLE handle;
    DWORD processId;  // of the process it was opened to
};

class FailingPlatform : public ProcessPlatform {
  public:
    bool noProcessId = false, openFails = false, exitCodeFails = false;
    // The first `joinsRefused` joins of a job fail, as for a process already in a job before
    // Windows 8; with `breakawayRefused`, so does a start with leave to break away from it.
    int joinsRefused = 0;
    bool breakawayRefused = false;
    bool jobNotEnded = false;         // TerminateJobObject fails: it is given something else
    HANDLE waitFailsAfter = nullptr;  // once this is signalled, the real wait fails
    // Steps in for the wait, when given; and sees each program start and each list of processes
    // (which it may change) as it is made.
    std::function<bool(HANDLE process, HANDLE stop)> wait;
    std::function<void(const ProgramCommand&)> onStart;
    std::function<void(ProcessList&)> onList;
    // True: this start is refused as a policy that bars the program would refuse it.
    std::function<bool()> createRefused;

    std::vector<ProcessHandle> handedOut;  // every handle given to SyncShell
    std::vector<DWORD> createFlags;        // of each CreateProcessW, in order

    Started Start(const ProgramCommand& command, std::int32_t windowStyle) override {
        if (onStart) onStart(command);
        Started started = ProcessPlatform::Start(command, windowStyle);
        handedOut.push_back({started.keepAlive.Get(), started.processId});
        if (noProcessId) started.processId = 0;
        return started;
    }
    HANDLE Open(DWORD processId) override {
        if (openFails) return nullptr;
        const HANDLE process = ProcessPlatform::Open(processId);
        handedOut.push_back({process, processId});
        return process;
    }
    bool Wait(HANDLE process, HANDLE stop) override {
        if (wait) return wait(process, stop);
        if (waitFailsAfter == nullptr) return ProcessPlatform::Wait(process, stop);
        WaitForSingleObject(waitFailsAfter, 30000);
        return ProcessPlatform::Wait(reinterpret_cast<HANDLE>(0x7ffffff0), stop);
    }
    EndedBy End(HANDLE job, HANDLE process) override {
        if (!jobNotEnded || job == nullptr) return ProcessPlatform::End(job, process);
        return ProcessPlatform::End(process, process);
    }
    bool GetExitCode(HANDLE process, DWORD* exitCode) override {
        if (!exitCodeFails) return ProcessPlatform::GetExitCode(process, exitCode);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    bool Create(const ProgramCommand& command, STARTUPINFOW startup, DWORD flags,
                wchar_t* environment, PROCESS_INFORMATION& created) override {
        createFlags.push_back(flags);
        if (createRefused && createRefused()) {
            SetLastError(ERROR_ACCESS_DISABLED_BY_POLICY);
            return false;
        }
        if (breakawayRefused && (flags & CREATE_BREAKAWAY_FROM_JOB) != 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        return ProcessPlatform::Create(command, startup, flags, environment, created);
    }
    bool JoinJob(HANDLE job, HANDLE process) override {
        if (joinsRefused > 0) {
            --joinsRefused;
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        return ProcessPlatform::JoinJob(job, process);
    }
    ProcessList ListProcesses() override {
        ProcessList list = ProcessPlatform::ListProcesses();
        if (onList) onList(list);
        return list;
    }
};

}  // namespace vantle::testing
