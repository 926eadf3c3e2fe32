// Figures for scripts/bench: the time from process start until VantleSetup's dialog is ready
// for input, against two bare programs started the same way in the same Wine: one that opens
// one empty window (the floor of any windowed program), and the fair one that opens a window
// with the dialog's ten controls and font (the floor of this dialog); the size of
// VantleSetup.exe; its peak working set with the dialog up. Prints figures; asserts nothing.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "bench/bench_support_win.h"
#include "support/win_test_support.h"

namespace {

using vantle::bench::Median;
using vantle::testing::BinFolder;

struct Sample {
    double readyMs = 0;
    SIZE_T peakWorkingSet = 0;
};

int retries = 0;

Sample StartOnce(const std::filesystem::path& exe, const std::filesystem::path& windir) {
    LARGE_INTEGER frequency, start, ready;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    auto child = vantle::bench::StartRetrying(exe, L"\"" + exe.wstring() + L"\"",
                                              {{L"windir", windir.wstring()}}, retries);
    // Ready: the window is up and the program idles in its message loop.
    WaitForInputIdle(child.Handle(), 60000);
    vantle::bench::WaitForVisibleWindow(child.Id(), 60000);
    QueryPerformanceCounter(&ready);
    Sample sample;
    sample.readyMs = static_cast<double>(ready.QuadPart - start.QuadPart) * 1000.0 /
                     static_cast<double>(frequency.QuadPart);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(child.Handle(), &counters, sizeof counters))
        sample.peakWorkingSet = counters.PeakWorkingSetSize;
    return sample;  // the child is ended as it goes out of scope
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Medians want enough runs; the programs take turns so that a neighbour's load falls on
    // all alike.
    const int runs = std::max(argc > 1 ? _wtoi(argv[1]) : 20, 20);
    const vantle::testing::TempDir windir{L"bench"};  // no console.ini: the plain start
    const auto vantle = BinFolder() / L"VantleSetup.exe";
    const auto bare = BinFolder() / L"vantle_bare_window.exe";
    const auto controls = BinFolder() / L"vantle_bare_controls.exe";
    StartOnce(vantle, windir.Path());  // warm the file cache
    StartOnce(bare, windir.Path());
    StartOnce(controls, windir.Path());
    std::vector<double> vantleMs, bareMs, controlsMs;
    SIZE_T peak = 0;
    for (int i = 0; i < runs; ++i) {
        const Sample v = StartOnce(vantle, windir.Path());
        vantleMs.push_back(v.readyMs);
        peak = std::max(peak, v.peakWorkingSet);
        bareMs.push_back(StartOnce(bare, windir.Path()).readyMs);
        controlsMs.push_back(StartOnce(controls, windir.Path()).readyMs);
    }
    std::printf("startup_runs: %d\n", runs);
    std::printf("vantlesetup_ready_ms_median: %.1f\n", Median(vantleMs));
    std::printf("bare_window_ready_ms_median: %.1f\n", Median(bareMs));
    std::printf("startup_ratio: %.3f\n", Median(vantleMs) / Median(bareMs));
    std::printf("bare_controls_ready_ms_median: %.1f\n", Median(controlsMs));
    std::printf("startup_ratio_to_controls: %.3f\n", Median(vantleMs) / Median(controlsMs));
    std::printf("exe_size_bytes: %llu\n",
                static_cast<unsigned long long>(std::filesystem::file_size(vantle)));
    std::printf("peak_working_set_kib: %llu\n", static_cast<unsigned long long>(peak / 1024));
    std::printf("startup_retries_after_1359: %d\n", retries);
    return 0;
}
