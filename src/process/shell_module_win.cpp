#include "process/shell_module_win.h"

#include <tlhelp32.h>

#include <vector>

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

constexpr UINT kStoppedExitCode = ERROR_CANCELLED;

FILETIME CreationTime(HANDLE process) {
    FILETIME created{}, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return created;
}

// Ends a process and what the processes' parent links show it started. A link names the
// process that started this one, which may since have ended and its identifier been taken by
// another: a child is only one started after its parent. Parents are ended first, so that none
// starts anything more while its children are ended.
void EndTree(DWORD rootId) {
    std::vector<PROCESSENTRY32W> processes;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot ? Process32FirstW(snapshot.Get(), &entry) : FALSE; more != FALSE;
         more = Process32NextW(snapshot.Get(), &entry))
        processes.push_back(entry);
    struct Found {
        DWORD id;
        FILETIME created;
    };
    std::vector<Found> tree{{rootId, {}}};
    constexpr DWORD kAccess = PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;
    for (size_t parent = 0; parent < tree.size(); ++parent) {
        const UniqueHandle ending(OpenProcess(kAccess, FALSE, tree[parent].id));
        if (!ending) continue;
        if (parent == 0) tree[0].created = CreationTime(ending.Get());
        TerminateProcess(ending.Get(), kStoppedExitCode);
        for (const PROCESSENTRY32W& candidate : processes) {
            if (candidate.th32ParentProcessID != tree[parent].id ||
                candidate.th32ProcessID == tree[parent].id)
                continue;
            const UniqueHandle child(
                OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, candidate.th32ProcessID));
            if (!child) continue;
            const FILETIME created = CreationTime(child.Get());
            if (CompareFileTime(&created, &tree[parent].created) >= 0)
                tree.push_back({candidate.th32ProcessID, created});
        }
    }
}

}  // namespace

ProcessPlatform::Started ProcessPlatform::Start(const ProgramCommand& command,
                                                std::int32_t windowStyle) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    // The child's own block: this program's environment with the overrides, so that a value
    // meant for one child never enters this program's environment or any other child's.
    std::wstring environment;
    if (!command.environment.empty()) {
        wchar_t* current = GetEnvironmentStringsW();
        environment = BuildEnvironmentBlock(SplitEnvironmentBlock(current), command.environment);
        FreeEnvironmentStringsW(current);
    }
    PROCESS_INFORMATION info{};
    const auto create = [&](DWORD flags) {
        std::wstring line = command.commandLine;  // CreateProcessW may write to its command line
        info = {};
        return CreateProcessW(
                   command.application.empty() ? nullptr : command.application.c_str(), line.data(),
                   nullptr, nullptr, FALSE, flags,
                   environment.empty() ? nullptr : environment.data(),
                   command.currentFolder.empty() ? nullptr : command.currentFolder.c_str(),
                   &startup, &info) != FALSE;
    };
    // Started suspended, nothing of it has run yet: it may be thrown away and started again.
    const auto discard = [&] {
        TerminateProcess(info.hProcess, kStoppedExitCode);
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    };
    Started started;
    DWORD flags = CREATE_UNICODE_ENVIRONMENT;
    if (command.endsWithThisProgram) {
        started.job = CreateEndingJob();
        // Suspended until it is in the job, so that nothing it starts can escape it.
        if (started.job) flags |= CREATE_SUSPENDED;
    }
    bool created = create(flags);
    if (created && started.job && !AssignProcessToJobObject(started.job.Get(), info.hProcess)) {
        // Before Windows 8 a process already in a job (the one this program was started in)
        // cannot join another. Started again with leave to break away from that job, it can, if
        // that job allows it; otherwise it runs as it would have without a job of ours, and
        // ending it takes the processes' parent links.
        discard();
        created = create(flags | CREATE_BREAKAWAY_FROM_JOB);
        if (!created || !AssignProcessToJobObject(started.job.Get(), info.hProcess)) {
            if (created) discard();
            started.job.Reset();
            created = create(flags);
        }
    }
    if (!created) {
        const DWORD error = GetLastError();
        throw Error(static_cast<std::int32_t>(error), kSyncShellSource, SystemMessage(error));
    }
    const UniqueHandle thread(info.hThread);
    started.processId = info.dwProcessId;
    started.keepAlive.Reset(info.hProcess);
    if ((flags & CREATE_SUSPENDED) != 0) ResumeThread(thread.Get());
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
    if (job == nullptr || !TerminateJobObject(job, kStoppedExitCode))
        EndTree(GetProcessId(process));
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
        std::wstring description =
            kWaitFailure + std::to_wstring(error.Number()) + L": " + error.Description();
        if (command.endsWithThisProgram) {
            platform.End(started.job.Get(), process.Get());
            if (!started.job) description += kEndedByParentLinks;
        }
        throw Error(kErrorWaitFailed, kSyncShellSource, description);
    }
    if (!ended) {
        platform.End(started.job.Get(), process.Get());
        throw Error(kErrorStopped, kSyncShellSource,
                    started.job ? std::wstring(kStoppedDescription)
                                : kStoppedDescription + std::wstring(kEndedByParentLinks));
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
