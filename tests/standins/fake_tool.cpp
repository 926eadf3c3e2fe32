// Stand-in for the programs no test machine has: sqlcmd, osql and notepad. Built once per
// name; what it does depends on the name it runs under.
//
// As a tool it appends one line to %VANTLE_FAKE_RECORD_DIR%\<name>.calls: its raw command
// line, its current folder and program file, its own and its parent's process id, the password
// variables it inherited, whether it would have prompted for a password, then its arguments as
// CommandLineToArgvW splits them, each hex-encoded UTF-8. Like the real tools, sqlcmd takes its
// password from -P, else from SQLCMDPASSWORD, and osql from -P, else from OSQLPASSWORD; with
// neither, the real tool would prompt on a console nobody sees, so the stand-in records that,
// writes no log and exits 1. With VANTLE_FAKE_<NAME>_LOG=write it writes the file named after -o,
// as the real tools do
// (=partial: a first line before it sleeps, the rest after);
// with VANTLE_FAKE_<NAME>_EXIT=n it exits with n; with VANTLE_FAKE_<NAME>_SLEEP=ms it takes
// that long first.
//
// As "child" it serves the process-runner tests: `child exit N` exits with N;
// `child sleep MS` sleeps; `child hold EVENT` signals the named event EVENT, then waits (up to a
// minute) for EVENT-release before ending; `child click CLASS ID` clicks control ID of the
// window of class CLASS.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cwctype>
#include <string>
#include <vector>

#include "standins/record_win.h"

namespace {

using vantle::testing::AppendLine;
using vantle::testing::Utf8;

std::wstring Variable(const std::wstring& name) {
    wchar_t buffer[4096];
    const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 4096);
    return length > 0 && length < 4096 ? std::wstring(buffer, length) : L"";
}

bool IsSet(const std::wstring& name) {
    SetLastError(ERROR_SUCCESS);
    wchar_t probe[1];
    return GetEnvironmentVariableW(name.c_str(), probe, 1) != 0 ||
           GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

std::wstring CurrentFolder() {
    wchar_t buffer[MAX_PATH * 4];
    return std::wstring(buffer, GetCurrentDirectoryW(MAX_PATH * 4, buffer));
}

std::wstring OwnPath() {
    wchar_t path[MAX_PATH * 4];
    return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 4));
}

std::wstring OwnName() {
    std::wstring name = OwnPath();
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.rfind(L'.'));
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

DWORD ParentProcessId() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
    }
    CloseHandle(snapshot);
    return parent;
}

int RunAsChild(const std::vector<std::wstring>& args) {
    if (args.size() >= 3 && args[1] == L"exit")
        return static_cast<int>(std::wcstoul(args[2].c_str(), nullptr, 10));
    if (args.size() >= 3 && args[1] == L"sleep") {
        Sleep(static_cast<DWORD>(std::wcstoul(args[2].c_str(), nullptr, 10)));
        return 0;
    }
    if (args.size() >= 3 && args[1] == L"hold") {
        const HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, args[2].c_str());
        const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, (args[2] + L"-release").c_str());
        if (started != nullptr) SetEvent(started);
        WaitForSingleObject(release, 60000);
        return 0;
    }
    if (args.size() >= 4 && args[1] == L"click") {
        // For scripted screenshots: waits up to 30 s for a visible window of that class, then
        // clicks its control by message, as UI Automation's Invoke would.
        for (int i = 0; i < 300; ++i) {
            const HWND window = FindWindowW(args[2].c_str(), nullptr);
            if (window != nullptr && IsWindowVisible(window)) {
                const int id = static_cast<int>(std::wcstoul(args[3].c_str(), nullptr, 10));
                PostMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0);
                return 0;
            }
            Sleep(100);
        }
        return 1;
    }
    return 2;
}

}  // namespace

int wmain() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args(argv, argv + count);
    LocalFree(argv);

    const std::wstring name = OwnName();
    if (name == L"child") return RunAsChild(args);

    std::wstring upper = name;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));

    bool passwordOption = false;
    for (size_t i = 1; i < args.size(); ++i) passwordOption = passwordOption || args[i] == L"-P";
    const std::wstring passwordVariable = name == L"sqlcmd" ? L"SQLCMDPASSWORD"
                                          : name == L"osql" ? L"OSQLPASSWORD"
                                                            : L"";
    const bool wouldPrompt =
        !passwordVariable.empty() && !passwordOption && !IsSet(passwordVariable);

    // Each field starts with a letter so that an empty value still leaves a field: x the
    // command line and then each argument, d the current folder, s and o the inherited
    // SQLCMDPASSWORD and OSQLPASSWORD (absent when unset), p when it would have prompted, m the
    // program file that ran, i its process id and q its parent's (the cmd.exe that started it).
    std::string record = "x";
    record += vantle::testing::ToHex(Utf8(GetCommandLineW()));
    record += " d" + vantle::testing::ToHex(Utf8(CurrentFolder()));
    record += " m" + vantle::testing::ToHex(Utf8(OwnPath()));
    record += " i" + vantle::testing::ToHex(std::to_string(GetCurrentProcessId()));
    record += " q" + vantle::testing::ToHex(std::to_string(ParentProcessId()));
    if (IsSet(L"SQLCMDPASSWORD"))
        record += " s" + vantle::testing::ToHex(Utf8(Variable(L"SQLCMDPASSWORD")));
    if (IsSet(L"OSQLPASSWORD"))
        record += " o" + vantle::testing::ToHex(Utf8(Variable(L"OSQLPASSWORD")));
    if (wouldPrompt) record += " p";
    for (const std::wstring& arg : args) {
        record += " x";
        record += vantle::testing::ToHex(Utf8(arg));
    }
    const std::wstring folder = Variable(L"VANTLE_FAKE_RECORD_DIR");
    if (!folder.empty()) AppendLine(folder + L"\\" + name + L".calls", record + "\n");

    const std::wstring log = Variable(L"VANTLE_FAKE_" + upper + L"_LOG");
    const auto writeLog = [&](const std::wstring& line) {
        for (size_t i = 1; i + 1 < args.size(); ++i) {
            if (args[i] == L"-o") AppendLine(args[i + 1], Utf8(line));
        }
    };
    // A tool stopped half-way has written part of its log.
    if (log == L"partial" && !wouldPrompt) writeLog(name + L" began\r\n");
    const std::wstring sleep = Variable(L"VANTLE_FAKE_" + upper + L"_SLEEP");
    if (!sleep.empty()) Sleep(static_cast<DWORD>(std::wcstoul(sleep.c_str(), nullptr, 10)));
    if (wouldPrompt) return 1;

    if (log == L"write" || log == L"partial") writeLog(name + L" wrote this\r\n");
    return static_cast<int>(
        std::wcstoul(Variable(L"VANTLE_FAKE_" + upper + L"_EXIT").c_str(), nullptr, 10));
}
