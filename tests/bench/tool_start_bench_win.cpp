// Figures for scripts/bench: the time from pressing OK (a moment after the dialog is idle, see
// kSettleMs) until the script tool starts, against a bare CreateProcess of the same cmd.exe
// line from here, sharing this console and in a console of its own, and against the bare windowed
// program of tests/bench/bare_tool_win.cpp, which starts the program's own line as the program
// does when its OK is clicked; and the program's peak working set while the tool runs. The program
// is the real VantleSetup.exe: Wine's own ADO beneath it, with the stand-in provider registered as
// SQLOLEDB (scripts/bench does that), and a server the provider has no tables on, so that OK
// connects, probes and goes straight on to the tool. Prints figures; asserts nothing.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_machine_win.h"
#include "bench/bench_support_win.h"
#include "dialog/layout.h"
#include "support/standin_calls.h"
#include "support/win_test_support.h"

namespace {

using namespace std::chrono_literals;
using vantle::bench::Machine;
using vantle::bench::Milliseconds;
using vantle::bench::Now;
using vantle::testing::BinFolder;
namespace fs = std::filesystem;

// No table vantle there: OK goes from the probe straight to sqlcmd.
const std::wstring kServer = L"SQLHOST";

int retries = 0;

struct OkRun {
    bool toolStarted = false;
    double okToToolMs = 0;
    SIZE_T peakWorkingSet = 0;  // read while the tool still runs
};

OkRun PressOk(const Machine& machine, int toolSleepMs) {
    machine.Forget();
    const auto exe = BinFolder() / L"VantleSetup.exe";
    auto program = vantle::bench::StartRetrying(exe, L"\"" + exe.wstring() + L"\"",
                                                machine.Environment(toolSleepMs), retries);
    const HWND form = vantle::testing::WaitForTopWindow(program.Id(), L"Setup Vantle Tables", 60s);
    OkRun run;
    if (form == nullptr) return run;
    WaitForInputIdle(program.Handle(), 60000);
    Sleep(vantle::bench::kSettleMs);
    const LARGE_INTEGER pressed = Now();
    PostMessageW(GetDlgItem(form, vantle::kIdOk), BM_CLICK, 0, 0);
    run.toolStarted = machine.WaitForToolStart(60s);
    run.okToToolMs = Milliseconds(pressed, Now());
    if (toolSleepMs > 0) Sleep(static_cast<DWORD>(toolSleepMs / 2));
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(program.Handle(), &counters, sizeof counters))
        run.peakWorkingSet = counters.PeakWorkingSetSize;
    program.WaitForExit(60s);
    return run;
}

fs::path SystemCmd() {
    wchar_t system[MAX_PATH];
    return fs::path(std::wstring(system, GetSystemDirectoryW(system, MAX_PATH))) / L"cmd.exe";
}

// The same tool line started straight from here, timed to the same moment. This console
// program's cmd.exe shares its console.
double BareToolStart(const Machine& machine) {
    machine.Forget();
    const LARGE_INTEGER started = Now();
    auto tool = vantle::bench::StartRetrying(SystemCmd(), machine.ToolLine(),
                                             machine.Environment(0), retries);
    const bool toolStarted = machine.WaitForToolStart(60s);
    const double ms = Milliseconds(started, Now());
    tool.WaitForExit(60s);
    return toolStarted ? ms : -1;
}

// The same again, but in a hidden console of its own: a windowed program has no console to
// share, so the cmd.exe it starts gets a new one, and with it a conhost.exe that Wine starts
// as well.
double BareToolStartOwnConsole(const Machine& machine) {
    machine.Forget();
    const fs::path cmd = SystemCmd();
    std::wstring environment = vantle::testing::EnvironmentBlock(machine.Environment(0));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    const LARGE_INTEGER started = Now();
    for (int attempt = 0;; ++attempt) {
        std::wstring line = machine.ToolLine();
        if (CreateProcessW(cmd.c_str(), line.data(), nullptr, nullptr, FALSE,
                           CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_CONSOLE, environment.data(),
                           nullptr, &startup, &info))
            break;
        if (GetLastError() != vantle::bench::kRefusedByWine ||
            attempt == vantle::bench::kMaxRetries)
            return -1;
        ++retries;
    }
    const vantle::UniqueHandle process(info.hProcess), thread(info.hThread);
    const bool toolStarted = machine.WaitForToolStart(60s);
    const double ms = Milliseconds(started, Now());
    WaitForSingleObject(process.Get(), 60000);
    return toolStarted ? ms : -1;
}

// From a click on the bare windowed program's OK to the tool's start, timed as PressOk times
// the program.
double BareWindowedToolStart(const Machine& machine) {
    machine.Forget();
    const auto exe = BinFolder() / L"vantle_bare_tool.exe";
    auto environment = machine.Environment(0);
    environment[L"SQLCMDPASSWORD"] = std::wstring(L"8vek3");
    auto program = vantle::bench::StartRetrying(
        exe, L"\"" + exe.wstring() + L"\" " + machine.ToolLine(false), environment, retries);
    const HWND window = vantle::bench::WaitForVisibleWindow(program.Id(), 60000);
    if (window == nullptr) return -1;
    WaitForInputIdle(program.Handle(), 60000);
    Sleep(vantle::bench::kSettleMs);
    const LARGE_INTEGER pressed = Now();
    PostMessageW(GetDlgItem(window, vantle::kIdOk), BM_CLICK, 0, 0);
    const bool toolStarted = machine.WaitForToolStart(60s);
    const double ms = Milliseconds(pressed, Now());
    program.WaitForExit(60s);
    return toolStarted ? ms : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = std::max(argc > 1 ? _wtoi(argv[1]) : 20, 20);
    const Machine machine(kServer);
    PressOk(machine, 0);  // warm the file cache
    BareToolStart(machine);
    BareToolStartOwnConsole(machine);
    BareWindowedToolStart(machine);
    std::vector<double> okMs, bareMs, ownConsoleMs, windowedMs;
    int lost = 0;
    for (int i = 0; i < runs; ++i) {  // in turn, so that a neighbour's load falls on all alike
        const OkRun run = PressOk(machine, 0);
        const double bare = BareToolStart(machine);
        const double ownConsole = BareToolStartOwnConsole(machine);
        const double windowed = BareWindowedToolStart(machine);
        if (!run.toolStarted || bare < 0 || ownConsole < 0 || windowed < 0) {
            ++lost;
            continue;
        }
        okMs.push_back(run.okToToolMs);
        bareMs.push_back(bare);
        ownConsoleMs.push_back(ownConsole);
        windowedMs.push_back(windowed);
    }
    const OkRun slow = PressOk(machine, 2000);
    const double ok = vantle::bench::Median(okMs), bare = vantle::bench::Median(bareMs);
    const double ownConsole = vantle::bench::Median(ownConsoleMs);
    const double windowed = vantle::bench::Median(windowedMs);
    std::printf("ok_to_tool_runs: %d\n", runs);
    std::printf("ok_to_tool_ms_median: %.1f\n", ok);
    std::printf("bare_tool_start_ms_median: %.1f\n", bare);
    std::printf("ok_to_tool_ratio: %.3f\n", bare > 0 ? ok / bare : 0.0);
    std::printf("bare_tool_start_own_console_ms_median: %.1f\n", ownConsole);
    std::printf("ok_to_tool_ratio_to_own_console: %.3f\n", ownConsole > 0 ? ok / ownConsole : 0.0);
    std::printf("bare_windowed_tool_start_ms_median: %.1f\n", windowed);
    std::printf("ok_to_tool_ratio_to_windowed: %.3f\n", windowed > 0 ? ok / windowed : 0.0);
    std::printf("ok_to_tool_runs_lost: %d\n", lost);
    std::printf("peak_working_set_during_tool_kib: %llu\n",
                static_cast<unsigned long long>(slow.peakWorkingSet / 1024));
    std::printf("tool_retries_after_1359: %d\n", retries);
    return 0;
}
