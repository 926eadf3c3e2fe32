// VantleSetup with the in-process stand-in database instead of ADO, for the end-to-end tests:
// everything else (dialog, profiles, cmd.exe, processes, files, message boxes) is the real
// program's. VANTLE_FAKE_DB picks the server: absent (default), present, login-failure,
// not-open, no-recordset; VANTLE_FAKE_DB_DELAY_MS makes opening the connection take that long.
// Each database call is appended to
// %VANTLE_FAKE_RECORD_DIR%\database.calls. VANTLE_HARNESS_PRESS_OK=1 presses OK once the
// dialog is up (for scripted screenshots).
#include <windows.h>

#include <string>
#include <thread>

#include "app/setup_app_win.h"
#include "dialog/layout.h"
#include "common/ansi_text_win.h"
#include "common/dll_search_win.h"
#include "common/environment_win.h"
#include "support/fake_database.h"
#include "support/hex.h"

namespace {

void AppendRecord(const std::wstring& event) {
    const std::wstring folder = vantle::WindowsEnvironment().Variable(L"VANTLE_FAKE_RECORD_DIR");
    if (folder.empty()) return;
    const HANDLE file = CreateFileW((folder + L"\\database.calls").c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string line = "x";
    line += vantle::testing::ToHex(vantle::ToUtf8(event));
    line += '\n';
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

void PressOkWhenShown() {
    for (int i = 0; i < 500; ++i) {
        const HWND form = FindWindowW(L"VantleSetupForm1", nullptr);
        if (form != nullptr && IsWindowVisible(form)) {
            Sleep(500);
            PostMessageW(GetDlgItem(form, vantle::kIdOk), BM_CLICK, 0, 0);
            return;
        }
        Sleep(20);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vantle::RestrictDllSearchToSystemFolder();
    const std::wstring mode = vantle::WindowsEnvironment().Variable(L"VANTLE_FAKE_DB");
    vantle::testing::FakeServer server;
    server.tablesExist = mode == L"present";
    if (mode == L"login-failure") server.openFailure = vantle::testing::kLoginFailed;
    server.connectionNotOpen = mode == L"not-open";
    server.noRecordset = mode == L"no-recordset";
    server.record = AppendRecord;
    const std::wstring delay = vantle::WindowsEnvironment().Variable(L"VANTLE_FAKE_DB_DELAY_MS");
    server.openDelay = std::chrono::milliseconds(std::wcstoul(delay.c_str(), nullptr, 10));
    vantle::testing::FakeDatabase database(server);
    if (vantle::WindowsEnvironment().Variable(L"VANTLE_HARNESS_PRESS_OK") == L"1")
        std::thread(PressOkWhenShown).detach();
    vantle::RunSetupApp(instance, database);
}
