// Figures for scripts/bench: the time from process start until VantleSetup's dialog is ready
// for input, against a bare program that opens one empty window, started the same way in the
// same Wine; the size of VantleSetup.exe; its peak working set with the dialog up. Prints
// figures; asserts nothing.
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
    vantle::testing::WaitForTopWindow(child.Id(), L"", std::chrono::seconds(60));
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
    // Medians want enough runs; the two programs alternate so that a neighbour's load falls
    // on both alike.
    const int runs = std::max(argc > 1 ? _wtoi(argv[1]) : 20, 20);
    const vantle::testing::TempDir windir{L"bench"};  // no console.ini: the plain start
    const auto vantle = BinFolder() / L"VantleSetup.exe";
    const auto bare = BinFolder() / L"vantle_bare_window.exe";
    StartOnce(vantle, windir.Path());  // warm the file cache
    StartOnce(bare, windir.Path());
    std::vector<double> vantleMs, bareMs;
    SIZE_T peak = 0;
    for (int i = 0; i < runs; ++i) {
        const Sample v = StartOnce(vantle, windir.Path());
        vantleMs.push_back(v.readyMs);
        peak = std::max(peak, v.peakWorkingSet);
        bareMs.push_back(StartOnce(bare, windir.Path()).readyMs);
    }
    std::printf("startup_runs: %d\n", runs);
    std::printf("vantlesetup_ready_ms_median: %.1f\n", Median(vantleMs));
    std::printf("bare_window_ready_ms_median: %.1f\n", Median(bareMs));
    std::printf("startup_ratio: %.3f\n", Median(vantleMs) / Median(bareMs));
    std::printf("exe_size_bytes: %llu\n",
                static_cast<unsigned long long>(std::filesystem::file_size(vantle)));
    std::printf("peak_working_set_kib: %llu\n", static_cast<unsigned long long>(peak / 1024));
    std::printf("startup_retries_after_1359: %d\n", retries);
    return 0;
}
