// VantleSetup with the in-process stand-in database instead of ADO, for the end-to-end tests:
// everything else (dialog, profiles, cmd.exe, processes, files, message boxes) is the real
// program's. VANTLE_FAKE_DB picks the server: absent (default), present, login-failure,
// not-open, no-recordset; VANTLE_FAKE_DB_DELAY_MS makes opening the connection take that long.
// Each database call is appended to %VANTLE_FAKE_RECORD_DIR%\database.calls.
#include <windows.h>

#include <string>

#include "app/setup_app_win.h"
#include "common/dll_search_win.h"
#include "common/environment_win.h"
#include "support/fake_database.h"
#include "standins/record_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vantle::RestrictDllSearchToSystemFolder();
    const std::wstring mode = vantle::WindowsEnvironment().Variable(L"VANTLE_FAKE_DB");
    vantle::testing::FakeServer server;
    server.tablesExist = mode == L"present";
    if (mode == L"login-failure") server.openFailure = vantle::testing::kLoginFailed;
    server.connectionNotOpen = mode == L"not-open";
    server.noRecordset = mode == L"no-recordset";
    server.record = [](const std::wstring& event) {
        vantle::testing::AppendRecord(L"database", event);
    };
    const std::wstring delay = vantle::WindowsEnvironment().Variable(L"VANTLE_FAKE_DB_DELAY_MS");
    server.openDelay = std::chrono::milliseconds(std::wcstoul(delay.c_str(), nullptr, 10));
    vantle::testing::FakeDatabase database(server);
    vantle::RunSetupApp(instance, database);
}
