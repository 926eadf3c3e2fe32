#include "process/shell_module_win.h"

#include "common/environment_block.h"
#include "common/message_wait_win.h"

namespace vantle {

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
    if (!CreateProcessW(command.application.empty() ? nullptr : command.application.c_str(),
                        line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : environment.data(),
                        command.currentFolder.empty() ? nullptr : command.currentFolder.c_str(),
                        &startup, &info)) {
        const DWORD error = GetLastError();
        throw Error(static_cast<std::int32_t>(error), kSyncShellSource, SystemMessage(error));
    }
    const UniqueHandle thread(info.hThread);  // never used: closed at once
    Started started;
    started.processId = info.dwProcessId;
    started.keepAlive.Reset(info.hProcess);
    return started;
}

HANDLE ProcessPlatform::Open(DWORD processId) {
    return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
}

void ProcessPlatform::Wait(HANDLE process) {
    // A tool may run for minutes: the window that started it keeps painting and answering.
    WaitKeepingWindowsAlive(process);
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
                       ProcessPlatform& platform) {
    ProcessPlatform::Started started = platform.Start(command, windowStyle);
    const auto processId = static_cast<std::int32_t>(started.processId);
    if (processId == 0) throw Error(kErrorShell, kSyncShellSource, kShellFailure);

    const UniqueHandle process(platform.Open(started.processId));
    if (!process) throw Error(kErrorOpenProcess, kSyncShellSource, kOpenFailure);
    started.keepAlive.Reset();  // our own handle holds the process from here on

    // No time limit: the tools may legitimately run for a long time on a large script.
    platform.Wait(process.Get());

    DWORD exitCode = 0;
    if (!platform.GetExitCode(process.Get(), &exitCode)) {
        const DWORD error = platform.LastError();  // before anything else can overwrite it
        throw Error(kErrorExitCode, kSyncShellSource, kExitCodeFailure + std::to_wstring(error));
    }
    return static_cast<std::int32_t>(exitCode);  // 0xC0000005 comes back as -1073741819
}

}  // namespace ShellModule
}  // namespace vantle
