// Figures for scripts/bench: the time from pressing OK until the re-run question is on screen,
// through Wine's own ADO and the stand-in provider (registered as SQLOLEDB by scripts/bench)
// with a server that has the tables, against the bare program of tests/bench/bare_ado_win.cpp,
// which makes the same ADO calls on one thread when its OK is clicked. Both are clicked the
// same way, a moment after each is idle with its window up (see kSettleMs), and both are timed
// from that click to a visible box titled like the question. Prints figures; asserts nothing.
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
#include "support/win_test_support.h"

namespace {

using namespace std::chrono_literals;
using vantle::bench::Machine;
using vantle::bench::Milliseconds;
using vantle::bench::Now;
using vantle::testing::BinFolder;

// The stand-in provider has the table vantle on any server whose name holds "present".
const std::wstring kServer = L"SQLHOST\\PRESENT";
constexpr const wchar_t* kQuestionTitle = L"Installing Vantle Tables";

int retries = 0;

struct Click {
    bool asked = false;
    double ms = 0;
    SIZE_T peakWorkingSet = 0;  // with the question up
};

// Starts `exe`, clicks its OK once it is idle with its window up, and waits for the question.
Click ClickOnce(const Machine& machine, const std::filesystem::path& exe,
                const std::wstring& arguments) {
    machine.Forget();
    std::wstring line = L"\"" + exe.wstring() + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    auto program = vantle::bench::StartRetrying(exe, line, machine.Environment(), retries);
    Click click;
    const HWND window = vantle::bench::WaitForVisibleWindow(program.Id(), 60000);
    if (window == nullptr) return click;
    WaitForInputIdle(program.Handle(), 60000);
    Sleep(vantle::bench::kSettleMs);
    const LARGE_INTEGER pressed = Now();
    PostMessageW(GetDlgItem(window, vantle::kIdOk), BM_CLICK, 0, 0);
    click.asked = vantle::bench::WaitForBox(program.Id(), kQuestionTitle, 60000) != nullptr;
    click.ms = Milliseconds(pressed, Now());
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(program.Handle(), &counters, sizeof counters))
        click.peakWorkingSet = counters.PeakWorkingSetSize;
    return click;  // the program is ended as it goes out of scope
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = std::max(argc > 1 ? _wtoi(argv[1]) : 20, 20);
    const Machine machine(kServer);
    const auto vantle = BinFolder() / L"VantleSetup.exe";
    const auto bare = BinFolder() / L"vantle_bare_ado.exe";
    ClickOnce(machine, vantle, L"");  // warm the file cache
    ClickOnce(machine, bare, machine.ConnectionString());
    std::vector<double> vantleMs, bareMs;
    SIZE_T peak = 0;
    int lost = 0;
    for (int i = 0; i < runs; ++i) {  // alternating, so that a neighbour's load falls on both
        const Click v = ClickOnce(machine, vantle, L"");
        const Click b = ClickOnce(machine, bare, machine.ConnectionString());
        if (!v.asked || !b.asked) {
            ++lost;
            continue;
        }
        vantleMs.push_back(v.ms);
        bareMs.push_back(b.ms);
        peak = std::max(peak, v.peakWorkingSet);
    }
    const double ok = vantle::bench::Median(vantleMs), yardstick = vantle::bench::Median(bareMs);
    std::printf("ok_to_question_runs: %d\n", runs);
    std::printf("ok_to_question_ms_median: %.1f\n", ok);
    std::printf("bare_ado_question_ms_median: %.1f\n", yardstick);
    std::printf("ok_to_question_ratio: %.3f\n", yardstick > 0 ? ok / yardstick : 0.0);
    std::printf("ok_to_question_runs_lost: %d\n", lost);
    std::printf("peak_working_set_at_question_kib: %llu\n",
                static_cast<unsigned long long>(peak / 1024));
    std::printf("question_retries_after_1359: %d\n", retries);
    return 0;
}
