#include "process/shell_module_win.h"

#include "common/environment_block.h"
#include "common/message_wait_win.h"

namespace vantle {
namespace {

UniqueHandle CreateEndingJob() {
    // No security attributes: the handle is never inherited, so no child can keep the job
    // (and so itself) alive after this program has gone.
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits))
        job.Reset();
    return job;
}

}  // namespace

ProcessPlatform::Started ProcessPlatform::Start(const ProgramCommand& command,
                                                std::int32_t windowStyle) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION info{};
    std::wstring line = command.commandLine;  // CreateProcessW may write to its command line
    // The child's own block: this program's environment with the overrides, so that a value
    // meant for one child never enters this program's environment or any other child's.
    std::wstring environment;
    if (!command.environment.empty()) {
        wchar_t* current = GetEnvironmentStringsW();
        environment = BuildEnvironmentBlock(SplitEnvironmentBlock(current), command.environment);
        FreeEnvironmentStringsW(current);
    }
    Started started;
    DWORD flags = CREATE_UNICODE_ENVIRONMENT;
    if (command.endsWithThisProgram) {
        started.job = CreateEndingJob();
        // Suspended until it is in the job, so that nothing it starts can escape it.
        if (started.job) flags |= CREATE_SUSPENDED;
    }
    if (!CreateProcessW(command.application.empty() ? nullptr : command.application.c_str(),
                        line.data(), nullptr, nullptr, FALSE, flags,
                        environment.empty() ? nullptr : environment.data(),
                        command.currentFolder.empty() ? nullptr : command.currentFolder.c_str(),
                        &startup, &info)) {
        const DWORD error = GetLastError();
        throw Error(static_cast<std::int32_t>(error), kSyncShellSource, SystemMessage(error));
    }
    const UniqueHandle thread(info.hThread);
    started.processId = info.dwProcessId;
    started.keepAlive.Reset(info.hProcess);
    if ((flags & CREATE_SUSPENDED) != 0) {
        // Before Windows 8 a process already in a job that allows no breakaway cannot join
        // another: it then runs as it would have without one, and a stop ends it alone.
        if (!AssignProcessToJobObject(started.job.Get(), info.hProcess)) started.job.Reset();
        ResumeThread(thread.Get());
    }
    return started;
}

HANDLE ProcessPlatform::Open(DWORD processId) {
    return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
}

bool ProcessPlatform::Wait(HANDLE process, HANDLE stop) {
    // A tool may run for minutes: the window that started it keeps painting and answering.
    switch (WaitKeepingWindowsAlive(process, stop)) {
        case WaitResult::Signalled:
            return true;
        case WaitResult::Interrupted:
            return false;
        case WaitResult::Failed:
            break;
    }
    // Not an end: the process may well still run, and its exit code would read STILL_ACTIVE.
    const DWORD error = LastError();
    throw Error(static_cast<std::int32_t>(error), kSyncShellSource, SystemMessage(error));
}

void ProcessPlatform::End(HANDLE job, HANDLE process) {
    constexpr UINT kStoppedExitCode = ERROR_CANCELLED;
    if (job == nullptr || !TerminateJobObject(job, kStoppedExitCode)) {
        // The waiting handle may only wait and query; ending takes a handle of its own.
        const UniqueHandle ending(OpenProcess(PROCESS_TERMINATE, FALSE, GetProcessId(process)));
        if (ending) TerminateProcess(ending.Get(), kStoppedExitCode);
    }
    WaitForSingleObject(process, INFINITE);
}

bool ProcessPlatform::GetExitCode(HANDLE process, DWORD* exitCode) {
    return GetExitCodeProcess(process, exitCode) != FALSE;
}

DWORD ProcessPlatform::LastError() {
    return GetLastError();
}

ProcessPlatform& ProcessPlatform::Real() {
    static ProcessPlatform real;
    return real;
}

namespace ShellModule {

std::int32_t SyncShell(const std::wstring& commandLine, std::int32_t windowStyle) {
    return SyncShell(ProgramCommand{L"", commandLine}, windowStyle);
}

std::int32_t SyncShell(const ProgramCommand& command, std::int32_t windowStyle,
                       ProcessPlatform& platform, HANDLE stop) {
    ProcessPlatform::Started started = platform.Start(command, windowStyle);
    const auto processId = static_cast<std::int32_t>(started.processId);
    if (processId == 0) throw Error(kErrorShell, kSyncShellSource, kShellFailure);

    const UniqueHandle process(platform.Open(started.processId));
    if (!process) throw Error(kErrorOpenProcess, kSyncShellSource, kOpenFailure);
    started.keepAlive.Reset();  // our own handle holds the process from here on

    // No time limit: the tools may legitimately run for a long time on a large script. The
    // operator may stop them instead.
    // Only what ends with this program can be stopped: Notepad is started to stay.
    bool ended = false;
    try {
        ended = platform.Wait(process.Get(), command.endsWithThisProgram ? stop : nullptr);
    } catch (const Error& error) {
        // Whatever comes next (the fallback tool) must not run beside this one. Raised as the
        // runner's own failure, so that no caller takes it for a program that never started.
        if (command.endsWithThisProgram) platform.End(started.job.Get(), process.Get());
        throw Error(kErrorWaitFailed, kSyncShellSource,
                    kWaitFailure + std::to_wstring(error.Number()) + L": " + error.Description());
    }
    if (!ended) {
        platform.End(started.job.Get(), process.Get());
        throw Error(kErrorStopped, kSyncShellSource, kStoppedDescription);
    }

    DWORD exitCode = 0;
    if (!platform.GetExitCode(process.Get(), &exitCode)) {
        const DWORD error = platform.LastError();  // before anything else can overwrite it
        throw Error(kErrorExitCode, kSyncShellSource, kExitCodeFailure + std::to_wstring(error));
    }
    return static_cast<std::int32_t>(exitCode);  // 0xC0000005 comes back as -1073741819
}

}  // namespace ShellModule
}  // namespace vantle
