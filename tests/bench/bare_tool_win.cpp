// The yardstick for the time from OK to the script tool: a bare windowed program with one OK
// button (the dialog's control id) that, when clicked, starts the system's cmd.exe with its own
// command line as the program starts a tool: hidden, suspended until it is in a job that ends
// it with this program, with a Unicode environment block, in this program's folder. Being
// windowed, it has no console to share either, so its cmd.exe gets one of its own as the
// program's does. The password comes in this program's environment, which the child inherits.
// Once the tool has ended, this program ends too, as the program does.
#include <windows.h>

#include <string>

#include "bare_ok_window_win.h"

namespace {

const wchar_t* toolLine = L"";

std::wstring Folder(const wchar_t* file) {
    const std::wstring path(file);
    return path.substr(0, path.find_last_of(L'\\'));
}

void StartTool(HWND window) {
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    wchar_t system[MAX_PATH];
    const std::wstring cmd =
        std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)) + L"\\cmd.exe";
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    std::wstring line = toolLine;
    wchar_t* environment = GetEnvironmentStringsW();
    if (CreateProcessW(cmd.c_str(), line.data(), nullptr, nullptr, FALSE,
                       CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, environment,
                       Folder(module).c_str(), &startup, &info)) {
        AssignProcessToJobObject(job, info.hProcess);
        ResumeThread(info.hThread);
        CloseHandle(info.hThread);
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    }
    FreeEnvironmentStringsW(environment);
    CloseHandle(job);
    DestroyWindow(window);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    toolLine = commandLine;
    bare::RunOkWindow(instance, L"BareTool", &StartTool);
    return 0;
}
