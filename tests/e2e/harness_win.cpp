// VantleSetup with the in-process stand-in database instead of ADO, for the end-to-end tests:
// everything else (dialog, profiles, cmd.exe, processes, files, message boxes) is the real
// program's. VANTLE_FAKE_DB picks the server: absent (default), present, login-failure,
// not-open, no-recordset; VANTLE_FAKE_DB_DELAY_MS makes opening the connection take that long.
// Each database call is appended to %VANTLE_FAKE_RECORD_DIR%\database.calls.
//
// VANTLE_FAKE_PLATFORM=<program>:<what> steers the process platform for one program (sqlcmd,
// osql, or notepad, started through start): for what no real process can make happen, or not
// in a given order. Its tool ends by itself, and only once its end has been seen (the dialog's
// thread taking no input meanwhile), `escape-as-it-ends` has an Esc queued for the dialog,
// `logoff-as-it-ends` has a logoff query queued (answered, in platform.calls), and
// `stream-as-it-ends` starts a stream of posted messages that never runs dry until the next
// program starts. `wait-fails` fails its wait at once; `not-started` refuses to start its
// cmd.exe, as a policy would.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "app/setup_app_win.h"
#include "common/app_identity.h"
#include "common/dll_search_win.h"
#include "common/environment_win.h"
#include "support/failing_platform_win.h"
#include "support/fake_database.h"
#include "standins/record_win.h"

namespace {

using vantle::testing::AppendRecord;

bool Names(const vantle::ProgramCommand& command, const std::wstring& program) {
    const std::wstring& line = command.commandLine;
    return line.find(L"/c " + program + L" ") != std::wstring::npos ||
           line.find(L"/c start " + program + L" ") != std::wstring::npos;
}

HWND Dialog() {
    return FindWindowW(vantle::kDialogWindowClass, nullptr);
}

// Each one taken from the queue puts the next one in.
UINT StreamMessage() {
    static const UINT message = RegisterWindowMessageW(L"VantleHarnessStream");
    return message;
}
HHOOK streamHook = nullptr;
LRESULT CALLBACK KeepStreaming(int code, WPARAM removed, LPARAM lParam) {
    const MSG& message = *reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && removed == PM_REMOVE && message.message == StreamMessage())
        PostMessageW(message.hwnd, StreamMessage(), 0, 0);
    return CallNextHookEx(nullptr, code, removed, lParam);
}

void CALLBACK LogoffAnswered(HWND, UINT, ULONG_PTR answered, LRESULT result) {
    AppendRecord(L"platform", L"logoff answered " + std::to_wstring(result));
    reinterpret_cast<std::atomic<bool>*>(answered)->store(true);
}

void QueueLogoffQuery() {
    const vantle::UniqueHandle queued(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread([&queued] {
        std::atomic<bool> answered{false};
        // Returns once the query is queued for the dialog's thread; the answer comes back here.
        SendMessageCallbackW(Dialog(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, &LogoffAnswered,
                             reinterpret_cast<ULONG_PTR>(&answered));
        SetEvent(queued.Get());
        MSG message;
        while (!answered && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    }).detach();
    WaitForSingleObject(queued.Get(), INFINITE);
}

// Whichever program `program` names, and what happens to it.
void Steer(vantle::testing::FailingPlatform& platform, const std::wstring& program,
           const std::wstring& what) {
    auto current = std::make_shared<bool>(false);
    platform.onStart = [current, program](const vantle::ProgramCommand& command) {
        *current = Names(command, program);
        if (streamHook != nullptr) {
            UnhookWindowsHookEx(streamHook);
            streamHook = nullptr;
            AppendRecord(L"platform", L"stream ended");
        }
    };
    if (what == L"not-started") {
        platform.createRefused = [current] { return *current; };
        return;
    }
    platform.wait = [&platform, current, what](HANDLE process, HANDLE stop) {
        if (!*current) return platform.ProcessPlatform::Wait(process, stop);
        if (what == L"wait-fails")
            return platform.ProcessPlatform::Wait(reinterpret_cast<HANDLE>(0x7ffffff0), stop);
        WaitForSingleObject(process, INFINITE);
        if (what == L"escape-as-it-ends") {
            PostMessageW(Dialog(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        } else if (what == L"logoff-as-it-ends") {
            QueueLogoffQuery();
        } else if (what == L"stream-as-it-ends") {
            streamHook =
                SetWindowsHookExW(WH_GETMESSAGE, &KeepStreaming, nullptr, GetCurrentThreadId());
            PostMessageW(Dialog(), StreamMessage(), 0, 0);
        }
        return true;
    };
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vantle::RestrictDllSearchToSystemFolder();
    const vantle::WindowsEnvironment environment;
    const std::wstring mode = environment.Variable(L"VANTLE_FAKE_DB");
    vantle::testing::FakeServer server;
    server.tablesExist = mode == L"present";
    if (mode == L"login-failure") server.openFailure = vantle::testing::kLoginFailed;
    server.connectionNotOpen = mode == L"not-open";
    server.noRecordset = mode == L"no-recordset";
    server.record = [](const std::wstring& event) { AppendRecord(L"database", event); };
    const std::wstring delay = environment.Variable(L"VANTLE_FAKE_DB_DELAY_MS");
    server.openDelay = std::chrono::milliseconds(std::wcstoul(delay.c_str(), nullptr, 10));
    vantle::testing::FakeDatabase database(server);

    vantle::testing::FailingPlatform platform;
    const std::wstring steer = environment.Variable(L"VANTLE_FAKE_PLATFORM");
    if (const size_t colon = steer.find(L':'); colon != std::wstring::npos)
        Steer(platform, steer.substr(0, colon), steer.substr(colon + 1));
    vantle::RunSetupApp(instance, database, platform);
}
