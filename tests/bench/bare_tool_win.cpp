// The yardstick for the time from OK to the script tool: a bare windowed program with one OK
// button (the dialog's control id) that, when clicked, starts the system's cmd.exe with its own
// command line as the program starts a tool: hidden, suspended until it is in a job that ends
// it with this program, with a Unicode environment block, in this program's folder. Being
// windowed, it has no console to share either, so its cmd.exe gets one of its own as the
// program's does. The password comes in this program's environment, which the child inherits.
// Once the tool has ended, this program ends too, as the program does.
#include <windows.h>

#include <string>

#include "dialog/layout.h"

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

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == vantle::kIdOk && HIWORD(wParam) == BN_CLICKED) {
        StartTool(window);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    toolLine = commandLine;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = L"BareTool";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowW(L"BareTool", L"Bare tool", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 372, 199, nullptr, nullptr, instance, nullptr);
    CreateWindowW(L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 10, 97,
                  25, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(vantle::kIdOk)),
                  instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
