// SyncShell with real child processes under Wine, and with its platform calls made to fail.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "process/shell_module_win.h"
#include "support/standin_calls.h"
#include "support/start_retries_win.h"
#include "support/win_test_support.h"

namespace vantle {
namespace {

using testing::StandinFolder;

ProgramCommand Child(const std::wstring& arguments) {
    const std::wstring exe = (StandinFolder() / L"child.exe").wstring();
    return ProgramCommand{exe, L"\"" + exe + L"\" " + arguments};
}

void ExpectError(const std::function<void()>& call, std::int32_t number,
                 const std::wstring& description) {
    try {
        call();
        ADD_FAILURE() << "no error raised";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), number);
        EXPECT_EQ(error.Source(), L"SyncShell");
        EXPECT_EQ(error.Description(), description);
    }
}

TEST(SyncShell, ReturnsExitCodesUnchanged) {
    EXPECT_EQ(ShellModule::SyncShell(Child(L"exit 0"), kWindowHidden), 0);
    EXPECT_EQ(ShellModule::SyncShell(Child(L"exit 3"), kWindowHidden), 3);
    EXPECT_EQ(ShellModule::SyncShell(Child(L"exit 3221225477"), kWindowHidden), -1073741819);
    EXPECT_EQ(ShellModule::SyncShell(L"cmd.exe /c exit 7", kWindowHidden), 7);
}

TEST(SyncShell, ReturnsWhenTheFirstProgramEndsNotWhatItStarted) {
    const std::wstring event = L"vantle-hold-" + std::to_wstring(GetCurrentProcessId());
    const UniqueHandle started(CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
    const std::wstring child = (StandinFolder() / L"child.exe").wstring();
    ShellModule::SyncShell(L"cmd.exe /c start \"\" \"" + child + L"\" hold " + event,
                           kWindowHidden);
    ASSERT_EQ(WaitForSingleObject(started.Get(), 30000), WAIT_OBJECT_0);
    // The grandchild is still holding its release event open: it has not ended.
    const UniqueHandle release(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, (event + L"-release").c_str()));
    ASSERT_TRUE(release);
    SetEvent(release.Get());
}

TEST(SyncShell, AProgramThatCannotBeStartedRaisesTheSystemsError) {
    try {
        ShellModule::SyncShell(L"no-such-program-4711.exe", kWindowHidden);
        ADD_FAILURE() << "no error raised";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), ERROR_FILE_NOT_FOUND);
        EXPECT_FALSE(error.Description().empty());
    }
}

struct ProcessHandle {
    HANDLE handle;
    DWORD processId;  // of the process it was opened to
};

// Real platform calls, but the ones a test names fail. Remembers every handle it hands to
// SyncShell, so that a test can see each one closed.
class FailingPlatform : public ProcessPlatform {
  public:
    bool noProcessId = false, openFails = false, exitCodeFails = false;
    bool noJob = false;               // started as where no job can be had (Windows 7, in a job)
    HANDLE waitFailsAfter = nullptr;  // once this is signalled, the real wait fails
    std::vector<ProcessHandle> handedOut;
    Started Start(const ProgramCommand& command, std::int32_t windowStyle) override {
        ProgramCommand jobless = command;
        jobless.endsWithThisProgram = jobless.endsWithThisProgram && !noJob;
        Started started = ProcessPlatform::Start(jobless, windowStyle);
        handedOut.push_back({started.keepAlive.Get(), started.processId});
        if (noProcessId) started.processId = 0;
        return started;
    }
    HANDLE Open(DWORD processId) override {
        if (openFails) return nullptr;
        const HANDLE process = ProcessPlatform::Open(processId);
        handedOut.push_back({process, processId});
        return process;
    }
    bool Wait(HANDLE process, HANDLE stop) override {
        if (waitFailsAfter == nullptr) return ProcessPlatform::Wait(process, stop);
        WaitForSingleObject(waitFailsAfter, 30000);
        return ProcessPlatform::Wait(reinterpret_cast<HANDLE>(0x7ffffff0), stop);
    }
    bool GetExitCode(HANDLE process, DWORD* exitCode) override {
        if (!exitCodeFails) return ProcessPlatform::GetExitCode(process, exitCode);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
};

TEST(SyncShell, RaisesItsThreeErrorsWithFixedNumbersAndTexts) {
    FailingPlatform noId;
    noId.noProcessId = true;
    ExpectError([&] { ShellModule::SyncShell(Child(L"exit 0"), 0, noId); }, -2147177982,
                L"Failed to Shell child process");
    FailingPlatform noOpen;
    noOpen.openFails = true;
    ExpectError([&] { ShellModule::SyncShell(Child(L"exit 0"), 0, noOpen); }, -2147177983,
                L"Failed to open child process");
    FailingPlatform noExitCode;
    noExitCode.exitCodeFails = true;
    ExpectError([&] { ShellModule::SyncShell(Child(L"exit 0"), 0, noExitCode); }, -2147177984,
                L"Failed to retrieve exit code, error 5");
}

// Still open. A closed value the platform has since given to another object (the product
// runs on for a moment after closing its keep-alive handle) is closed as far as we are
// concerned: it no longer leads to the same process.
bool IsOpen(const ProcessHandle& process) {
    DWORD flags = 0;
    SetLastError(ERROR_SUCCESS);
    if (GetHandleInformation(process.handle, &flags))
        return GetProcessId(process.handle) == process.processId;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    return false;
}

// How many of the handles `platform` handed out are still open. Call it right after the call
// that closed them, before anything else can open a handle and be given a closed one's value.
long StillOpen(const FailingPlatform& platform) {
    std::vector<bool> open;
    for (const ProcessHandle& handle : platform.handedOut) open.push_back(IsOpen(handle));
    return std::count(open.begin(), open.end(), true);
}

// Runs one SyncShell call with `platform`, expects the `expected` handles it was handed all
// closed, and returns the Error the call raised, if any.
std::optional<Error> CallAndExpectClosed(testing::StartRetries& retries, FailingPlatform& platform,
                                         const ProgramCommand& command, std::size_t expected) {
    platform.handedOut.clear();
    const std::optional<Error> error =
        retries.Catch([&] { ShellModule::SyncShell(command, 0, platform); });
    EXPECT_EQ(StillOpen(platform), 0) << "a handle was left open";
    EXPECT_EQ(platform.handedOut.size(), expected);
    return error;
}

TEST(SyncShell, LeavesNoHandleOpenOnAnyPath) {
    testing::StartRetries retries;
    FailingPlatform real;
    FailingPlatform noExitCode;
    noExitCode.exitCodeFails = true;
    FailingPlatform noOpen;
    noOpen.openFails = true;
    FailingPlatform noId;
    noId.noProcessId = true;
    const auto everyPath = [&] {
        // Started: the keep-alive handle and SyncShell's own.
        EXPECT_FALSE(CallAndExpectClosed(retries, real, Child(L"exit 1"), 2));
        auto error = CallAndExpectClosed(retries, noExitCode, Child(L"exit 0"), 2);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Number(), kErrorExitCode);
        // Never opened or no identifier: only the keep-alive handle, which must go as well.
        error = CallAndExpectClosed(retries, noOpen, Child(L"exit 0"), 1);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Number(), kErrorOpenProcess);
        error = CallAndExpectClosed(retries, noId, Child(L"exit 0"), 1);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Number(), kErrorShell);
        // Not started: nothing is handed out.
        error = CallAndExpectClosed(retries, real, {L"", L"no-such-program-4711.exe"}, 0);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Number(), ERROR_FILE_NOT_FOUND);
    };
    // Warm up whatever the first calls of each path allocate once (loader, console, heaps,
    // message tables).
    everyPath();
    const DWORD before = testing::OpenHandleCount();
    for (int i = 0; i < 25 && !HasFatalFailure(); ++i) everyPath();
    EXPECT_EQ(testing::OpenHandleCount(), before);
}

// The checks above are worth only as much as their ability to see a leak: a platform that
// keeps the handle it hands out open (SyncShell closes a copy) must move both.
TEST(SyncShell, TheHandleChecksSeeALeak) {
    class LeakingPlatform : public FailingPlatform {
      public:
        std::vector<UniqueHandle> leaked;
        HANDLE Open(DWORD processId) override {
            leaked.emplace_back(FailingPlatform::Open(processId));
            HANDLE copy = nullptr;
            DuplicateHandle(GetCurrentProcess(), leaked.back().Get(), GetCurrentProcess(), &copy, 0,
                            FALSE, DUPLICATE_SAME_ACCESS);
            return copy;
        }
    };
    testing::StartRetries retries;
    LeakingPlatform leaking;
    leaking.exitCodeFails = true;
    retries.Catch([&] { ShellModule::SyncShell(Child(L"exit 0"), 0, leaking); });
    leaking.leaked.clear();
    const DWORD before = testing::OpenHandleCount();
    for (int i = 0; i < 25; ++i) {
        leaking.handedOut.clear();
        retries.Catch([&] { ShellModule::SyncShell(Child(L"exit 0"), 0, leaking); });
        EXPECT_EQ(StillOpen(leaking), 1);
    }
    EXPECT_EQ(testing::OpenHandleCount(), before + 25);
    leaking.leaked.clear();
    EXPECT_EQ(testing::OpenHandleCount(), before);
}

}  // namespace
}  // namespace vantle

namespace vantle {
namespace {

// A child that holds on until released (see standins/fake_tool.cpp), started through cmd.exe
// as the tools are: `start` leaves it running after cmd.exe has ended, without it cmd.exe
// waits for it.
struct HeldChild {
    HeldChild() : started(CreateEventW(nullptr, TRUE, FALSE, name.c_str())) {}
    // `then`: what cmd.exe runs after starting it.
    ProgramCommand Through(const wchar_t* how, bool endsWithThisProgram,
                           const std::wstring& then = L"") const {
        const std::wstring child = (StandinFolder() / L"child.exe").wstring();
        ProgramCommand command{
            L"", std::wstring(L"cmd.exe /c ") + how + L"\"" + child + L"\" hold " + name + then};
        command.endsWithThisProgram = endsWithThisProgram;
        return command;
    }
    // The child keeps its release event while it lives: once it is gone, so is the event.
    bool Gone() const {
        return testing::WaitUntil(
            [&] {
                const UniqueHandle release(
                    OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-release").c_str()));
                return !release;
            },
            std::chrono::seconds(5));
    }
    void Release() const {
        const UniqueHandle release(
            OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-release").c_str()));
        if (release) SetEvent(release.Get());
    }

    inline static int counter = 0;
    std::wstring name = L"vantle-held-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(++counter);
    UniqueHandle started;
};

TEST(SyncShellStop, AStopRequestOrAFailedWaitEndsTheProgramAndWhatItStarted) {
    // With its job, or where none could be had, by the processes' parent links, as it says.
    for (const bool noJob : {false, true}) {
        SCOPED_TRACE(noJob ? "no job" : "job");
        const HeldChild held;
        const UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::thread operatorSaysStop([&] {
            if (WaitForSingleObject(held.started.Get(), 30000) == WAIT_OBJECT_0)
                SetEvent(stop.Get());
        });
        FailingPlatform platform;
        platform.noJob = noJob;
        const auto started = std::chrono::steady_clock::now();
        try {
            ShellModule::SyncShell(held.Through(L"", true), kWindowHidden, platform, stop.Get());
            ADD_FAILURE() << "the run was not stopped";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), kErrorStopped);
            EXPECT_EQ(error.Source(), L"SyncShell");
            EXPECT_EQ(EndedByParentLinks(error), noJob);
        }
        EXPECT_EQ(StillOpen(platform), 0) << "a handle was left open";
        operatorSaysStop.join();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
        EXPECT_TRUE(held.Gone()) << "cmd.exe's child ran on";
        held.Release();
    }

    // A wait that fails is no end: the run is ended the same way and the failure raised.
    const HeldChild waited;
    FailingPlatform waitFails;
    waitFails.waitFailsAfter = waited.started.Get();
    try {
        ShellModule::SyncShell(waited.Through(L"", true), kWindowHidden, waitFails);
        ADD_FAILURE() << "a failed wait was taken for the program's end";
    } catch (const Error& error) {
        // The runner's own failure, never to be taken for a program that could not start.
        EXPECT_EQ(error.Number(), kErrorWaitFailed);
        EXPECT_EQ(error.Description().rfind(L"Failed to wait for child process, error 6: ", 0), 0u);
    }
    EXPECT_EQ(StillOpen(waitFails), 0) << "a handle was left open";
    EXPECT_TRUE(waited.Gone()) << "the program ran on";
    waited.Release();
}

TEST(SyncShellStop, WhatEndsWithTheProgramLeavesNothingBehindAndTheRestIsLeftAlone) {
    const HeldChild inJob, outside;
    // cmd.exe lingers a moment, so that what it started is surely running when it ends.
    const std::wstring linger =
        L" & \"" + (StandinFolder() / L"child.exe").wstring() + L"\" sleep 1500";
    EXPECT_EQ(ShellModule::SyncShell(inJob.Through(L"start \"\" ", true, linger), kWindowHidden),
              0);
    ASSERT_EQ(WaitForSingleObject(inJob.started.Get(), 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(inJob.Gone()) << "what cmd.exe started outlived the run";

    EXPECT_EQ(ShellModule::SyncShell(outside.Through(L"start \"\" ", false), kWindowHidden), 0);
    ASSERT_EQ(WaitForSingleObject(outside.started.Get(), 30000), WAIT_OBJECT_0);
    EXPECT_FALSE(outside.Gone()) << "Notepad's way of starting must let it stay";
    outside.Release();
}

TEST(SyncShellStop, AStopRequestLeavesWhatIsMeantToStayAndNoRequestChangesNothing) {
    const UniqueHandle stop(CreateEventW(nullptr, TRUE, TRUE, nullptr));  // already asked
    EXPECT_EQ(ShellModule::SyncShell(Child(L"exit 3"), kWindowHidden, ProcessPlatform::Real(),
                                     stop.Get()),
              3)
        << "a program that is not to end with this one is never stopped";
    ProgramCommand tool = Child(L"exit 4");
    tool.endsWithThisProgram = true;
    EXPECT_EQ(ShellModule::SyncShell(tool, kWindowHidden), 4) << "no stop request";
}

}  // namespace
}  // namespace vantle
