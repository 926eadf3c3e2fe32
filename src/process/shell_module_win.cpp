#include "process/shell_module_win.h"

namespace vantle {

std::wstring SystemMessage(DWORD errorCode) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, errorCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length != 0 ? std::wstring(buffer, length) : L"";
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) {
        wchar_t hex[16];
        swprintf(hex, 16, L"0x%08X", static_cast<unsigned>(errorCode));
        text = std::wstring(L"Unknown error ") + hex;
    }
    return text;
}

ProcessPlatform::Started ProcessPlatform::Start(const ProgramCommand& command,
                                                std::int32_t windowStyle) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION info{};
    std::wstring line = command.commandLine;  // CreateProcessW may write to its command line
    if (!CreateProcessW(command.application.empty() ? nullptr : command.application.c_str(),
                        line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        const DWORD error = GetLastError();
        throw Error(static_cast<std::int32_t>(error), kSyncShellSource, SystemMessage(error));
    }
    CloseHandle(info.hThread);
    Started started;
    started.processId = info.dwProcessId;
    started.keepAlive.Reset(info.hProcess);
    return started;
}

HANDLE ProcessPlatform::Open(DWORD processId) {
    return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
}

void ProcessPlatform::Wait(HANDLE process) {
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
