#include "process/shell_module_win.h"

#include <tlhelp32.h>

#include <algorithm>
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

bool Before(const FILETIME& a, const FILETIME& b) {
    return CompareFileTime(&a, &b) < 0;
}

// One process of a tree being ended: when it was created, and when it had gone (none of its
// children can be newer than that).
struct Member {
    DWORD id;
    FILETIME created;
    FILETIME gone;
};

// Ends a process opened with the rights to end, read and wait for it, and waits a moment for it
// to go. With no end seen, what it started may be as new as anything else.
Member EndMember(HANDLE process, DWORD id) {
    Member member{id, {}, {0xFFFFFFFF, 0x7FFFFFFF}};
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &member.created, &exited, &kernel, &user);
    TerminateProcess(process, kStoppedExitCode);
    if (WaitForSingleObject(process, 5000) == WAIT_OBJECT_0 &&
        GetProcessTimes(process, &created, &exited, &kernel, &user))
        member.gone = exited;
    return member;
}

// Ends a process and what the processes' parent links show it started. A link names the
// process that started this one, which may since have ended and its identifier been taken by
// another: a child is only one created after its parent and before the parent had gone, and
// before the list was made (an identifier taken since names a newcomer). Each one is checked and
// ended through the same handle, so the process checked is the process ended. Parents are ended
// first, so that none starts anything more while its children are ended; and the processes are
// listed again until a list shows nothing new, for a child started as its parent was ended.
void EndTree(ProcessPlatform& platform, DWORD rootId) {
    constexpr DWORD kAccess = PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;
    constexpr int kMostLists = 8;
    std::vector<Member> tree;
    {
        // The caller holds a handle to the root: its identifier cannot have been taken by another.
        const UniqueHandle root(OpenProcess(kAccess, FALSE, rootId));
        if (!root) return;
        tree.push_back(EndMember(root.Get(), rootId));
    }
    for (int list = 0; list < kMostLists; ++list) {
        const ProcessPlatform::ProcessList listed = platform.ListProcesses();
        bool grew = false;
        for (size_t parent = 0; parent < tree.size(); ++parent) {
            for (const ProcessPlatform::Listed& candidate : listed.processes) {
                if (candidate.parentId != tree[parent].id ||
                    candidate.processId == candidate.parentId)
                    continue;
                const UniqueHandle child(OpenProcess(kAccess, FALSE, candidate.processId));
                if (!child) continue;
                FILETIME created, exited, kernel, user;
                if (!GetProcessTimes(child.Get(), &created, &exited, &kernel, &user)) continue;
                if (Before(created, tree[parent].created) || Before(tree[parent].gone, created) ||
                    Before(listed.taken, created))
                    continue;
                const bool known = std::any_of(tree.begin(), tree.end(), [&](const Member& m) {
                    return m.id == candidate.processId &&
                           CompareFileTime(&m.created, &created) == 0;
                });
                if (known) continue;
                tree.push_back(EndMember(child.Get(), candidate.processId));
                grew = true;
            }
        }
        if (!grew) break;
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
        info = {};
        return Create(command, startup, flags, environment.empty() ? nullptr : environment.data(),
                      info);
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
    if (created && started.job && !JoinJob(started.job.Get(), info.hProcess)) {
        // Before Windows 8 a process already in a job (the one this program was started in)
        // cannot join another. Started again with leave to break away from that job, it can, if
        // that job allows it; otherwise it runs as it would have without a job of ours, and
        // ending it takes the processes' parent links.
        discard();
        created = create(flags | CREATE_BREAKAWAY_FROM_JOB);
        if (!created || !JoinJob(started.job.Get(), info.hProcess)) {
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

EndedBy ProcessPlatform::End(HANDLE job, HANDLE process) {
    EndedBy how = EndedBy::Job;
    if (job == nullptr || !TerminateJobObject(job, kStoppedExitCode)) {
        how = job == nullptr ? EndedBy::ParentLinksNoJob : EndedBy::ParentLinksJobNotEnded;
        EndTree(*this, GetProcessId(process));
    }
    WaitForSingleObject(process, INFINITE);
    return how;
}

bool ProcessPlatform::GetExitCode(HANDLE process, DWORD* exitCode) {
    return GetExitCodeProcess(process, exitCode) != FALSE;
}

DWORD ProcessPlatform::LastError() {
    return GetLastError();
}

bool ProcessPlatform::Create(const ProgramCommand& command, STARTUPINFOW startup, DWORD flags,
                             wchar_t* environment, PROCESS_INFORMATION& created) {
    std::wstring line = command.commandLine;  // CreateProcessW may write to its command line
    return CreateProcessW(command.application.empty() ? nullptr : command.application.c_str(),
                          line.data(), nullptr, nullptr, FALSE, flags, environment,
                          command.currentFolder.empty() ? nullptr : command.currentFolder.c_str(),
                          &startup, &created) != FALSE;
}

bool ProcessPlatform::JoinJob(HANDLE job, HANDLE process) {
    return AssignProcessToJobObject(job, process) != FALSE;
}

ProcessPlatform::ProcessList ProcessPlatform::ListProcesses() {
    ProcessList list;
    GetSystemTimeAsFileTime(&list.taken);
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot ? Process32FirstW(snapshot.Get(), &entry) : FALSE; more != FALSE;
         more = Process32NextW(snapshot.Get(), &entry))
        list.processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID});
    return list;
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
        if (command.endsWithThisProgram)
            description += EndedNote(platform.End(started.job.Get(), process.Get()));
        throw Error(kErrorWaitFailed, kSyncShellSource, description);
    }
    if (!ended) {
        const EndedBy how = platform.End(started.job.Get(), process.Get());
        throw Error(kErrorStopped, kSyncShellSource,
                    kStoppedDescription + std::wstring(EndedNote(how)));
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
