#pragma once

// Helpers shared by the benchmarks: timing, medians, and starting a process the way Wine
// allows.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/win_test_support.h"

namespace vantle::bench {

inline double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

inline LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

// How long the OK benchmarks let a program be, once it is idle with its window up, before they
// press OK. Pressed at once, OK lands in the last of start-up (the first repaints and the
// window system's notices of the new window, still coming in for some tens of milliseconds
// after WaitForInputIdle returns under Wine) and is slowed by it. An operator reads the dialog
// before pressing OK, and that cost is start-up's, not OK's.
inline constexpr DWORD kSettleMs = 500;

// Polls, about every millisecond, for a visible top-level window of `processId`: the tests'
// window search polls every 20 ms, which would round every figure up by up to that much.
inline HWND WaitForVisibleWindow(DWORD processId, DWORD timeoutMs) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    // A lambda converts only to the default calling convention: on x86 that is not WINAPI.
    struct Match {
        static BOOL CALLBACK Window(HWND window, LPARAM context) {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->processId || !IsWindowVisible(window)) return TRUE;
            s->found = window;
            return FALSE;
        }
    };
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        EnumWindows(&Match::Window, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr || GetTickCount64() > end) return search.found;
        Sleep(1);
    }
}

// Polls, about every millisecond, for a visible box (dialog class "#32770") of `processId` with
// this title. Cheaper and finer than the tests' window search, which asks every window of the
// desktop for its text every 20 ms: a figure of some tens of milliseconds needs the finer grain.
inline HWND WaitForBox(DWORD processId, const wchar_t* title, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        for (HWND box = FindWindowExW(nullptr, nullptr, L"#32770", title); box != nullptr;
             box = FindWindowExW(nullptr, box, L"#32770", title)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner == processId && IsWindowVisible(box)) return box;
        }
        if (GetTickCount64() > end) return nullptr;
        Sleep(1);
    }
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Wine now and then refuses a CreateProcess with ERROR_INTERNAL_ERROR (1359). Such a start is
// tried again, and counted, instead of ending the bench or leaving a hole in a figure.
inline constexpr DWORD kRefusedByWine = ERROR_INTERNAL_ERROR;
inline constexpr int kMaxRetries = 20;

inline testing::ChildProcess StartRetrying(const std::filesystem::path& exe,
                                           const std::wstring& commandLine,
                                           const testing::EnvironmentOverrides& overrides,
                                           int& retries) {
    const std::string refused = ": " + std::to_string(kRefusedByWine);
    for (int attempt = 0;; ++attempt) {
        try {
            return testing::ChildProcess::Start(exe, commandLine, overrides);
        } catch (const std::runtime_error& error) {
            const std::string what = error.what();
            const bool wasRefused =
                what.size() >= refused.size() &&
                what.compare(what.size() - refused.size(), refused.size(), refused) == 0;
            if (!wasRefused || attempt == kMaxRetries) throw;
            ++retries;
        }
    }
}

}  // namespace vantle::bench
