// Figures for scripts/bench: SyncShell's own cost against a bare CreateProcess-and-wait of the
// same no-op child, and the CPU time the waiting program spends while a child runs. Prints
// figures; asserts nothing.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/bench_support_win.h"
#include "common/error.h"
#include "process/shell_module_win.h"
#include "support/standin_calls.h"

namespace {

using vantle::ProgramCommand;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Starts refused by Wine (error 1359) and tried again, over both kinds of run.
int retries = 0;

void BareRun(const ProgramCommand& command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    for (;;) {
        std::wstring line = command.commandLine;
        if (CreateProcessW(command.application.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                           nullptr, nullptr, &startup, &info))
            break;
        if (GetLastError() != vantle::bench::kRefusedByWine || retries == 1000) return;
        ++retries;
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

// SyncShell reports a refused start as its own "could not start" error, whatever the cause.
void SyncShellRetrying(const ProgramCommand& command) {
    for (;;) {
        try {
            vantle::ShellModule::SyncShell(command, vantle::kWindowHidden);
            return;
        } catch (const vantle::Error&) {
            if (retries == 1000) throw;
            ++retries;
        }
    }
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 100;
    const std::wstring exe = (vantle::testing::StandinFolder() / L"child.exe").wstring();
    const ProgramCommand noop{exe, L"\"" + exe + L"\" exit 0"};

    BareRun(noop);  // warm the file cache and the loader
    double bare = 0, shell = 0;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER a, b, c;
        QueryPerformanceCounter(&a);
        BareRun(noop);
        QueryPerformanceCounter(&b);
        SyncShellRetrying(noop);
        QueryPerformanceCounter(&c);
        bare += Seconds(a, b);
        shell += Seconds(b, c);
    }
    std::printf("syncshell_runs: %d\n", runs);
    std::printf("bare_create_and_wait_ms: %.2f\n", bare / runs * 1000);
    std::printf("syncshell_ms: %.2f\n", shell / runs * 1000);
    std::printf("syncshell_overhead_ratio: %.3f\n", shell / bare);

    const ProgramCommand sleeper{exe, L"\"" + exe + L"\" sleep 2000"};
    const double cpuBefore = CpuSeconds();
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    SyncShellRetrying(sleeper);
    QueryPerformanceCounter(&b);
    std::printf("wait_for_2s_child_wall_s: %.3f\n", Seconds(a, b));
    std::printf("wait_for_2s_child_cpu_ms: %.2f\n", (CpuSeconds() - cpuBefore) * 1000);
    std::printf("process_retries_after_1359: %d\n", retries);
    return 0;
}
