// SyncShell with real child processes under Wine, and with its platform calls made to fail.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "process/shell_module_win.h"
#include "support/failing_platform_win.h"
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

using testing::FailingPlatform;
using testing::ProcessHandle;

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

// Each way a tool is put in a job, or not, where Windows 7 refuses what Wine never does, and each
// way it is ended, by a stop request or because its wait failed: it ends with what it started,
// and the error says how.
TEST(SyncShellStop, AStopRequestOrAFailedWaitEndsTheProgramAndWhatItStarted) {
    constexpr DWORD S = CREATE_SUSPENDED, B = CREATE_BREAKAWAY_FROM_JOB;
    struct Path {
        const char* name;
        int joinsRefused;
        bool breakawayRefused, jobNotEnded;
        EndedBy ended;
        std::vector<DWORD> starts;  // each CreateProcessW, by the flags that matter here
    };
    const Path paths[] = {
        {"a job of its own", 0, false, false, EndedBy::Job, {S}},
        {"a job refused, then had with leave to break away",
         1,
         false,
         false,
         EndedBy::Job,
         {S, S | B}},
        {"no breakaway allowed", 1, true, false, EndedBy::ParentLinksNoJob, {S, S | B, S}},
        {"a job refused twice", 2, false, false, EndedBy::ParentLinksNoJob, {S, S | B, S}},
        {"a job that cannot be ended", 0, false, true, EndedBy::ParentLinksJobNotEnded, {S}},
    };
    for (const Path& path : paths) {
        for (const bool stopped : {true, false}) {
            SCOPED_TRACE(std::string(path.name) + (stopped ? ", stopped" : ", its wait failed"));
            const HeldChild held;
            const UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            FailingPlatform platform;
            platform.joinsRefused = path.joinsRefused;
            platform.breakawayRefused = path.breakawayRefused;
            platform.jobNotEnded = path.jobNotEnded;
            if (!stopped) platform.waitFailsAfter = held.started.Get();
            std::thread operatorSaysStop([&] {
                if (stopped && WaitForSingleObject(held.started.Get(), 30000) == WAIT_OBJECT_0)
                    SetEvent(stop.Get());
            });
            try {
                ShellModule::SyncShell(held.Through(L"", true), kWindowHidden, platform,
                                       stop.Get());
                ADD_FAILURE() << "the run was not ended";
            } catch (const Error& error) {
                // A failed wait is the runner's own failure, never taken for a program not started.
                EXPECT_EQ(error.Number(), stopped ? kErrorStopped : kErrorWaitFailed);
                EXPECT_EQ(error.Source(), L"SyncShell");
                EXPECT_EQ(HowEnded(error), path.ended) << testing::ToUtf8Text(error.Description());
                if (!stopped) {
                    EXPECT_EQ(error.Description().rfind(
                                  L"Failed to wait for child process, error 6: ", 0),
                              0u);
                }
            }
            EXPECT_EQ(StillOpen(platform), 0) << "a handle was left open";
            operatorSaysStop.join();
            std::vector<DWORD> starts;
            for (const DWORD flags : platform.createFlags) starts.push_back(flags & (S | B));
            EXPECT_EQ(starts, path.starts);
            EXPECT_TRUE(held.Gone()) << "cmd.exe's child ran on";
            held.Release();
        }
    }
}

// `child hold` started by this test, as a child of `parent` when given (as if `parent` had
// started it).
UniqueHandle StartHeld(const HeldChild& held, HANDLE parent) {
    const std::wstring exe = (StandinFolder() / L"child.exe").wstring();
    std::wstring line = L"\"" + exe + L"\" hold " + held.name;
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributes(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    if (parent != nullptr) {
        InitializeProcThreadAttributeList(list, 1, 0, &size);
        UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &parent,
                                  sizeof parent, nullptr, nullptr);
        startup.lpAttributeList = list;
    }
    PROCESS_INFORMATION info{};
    const BOOL created = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE,
                                        parent != nullptr ? EXTENDED_STARTUPINFO_PRESENT : 0,
                                        nullptr, nullptr, &startup.StartupInfo, &info);
    if (parent != nullptr) DeleteProcThreadAttributeList(list);
    EXPECT_TRUE(created) << GetLastError();
    if (!created) return UniqueHandle();
    CloseHandle(info.hThread);
    EXPECT_EQ(WaitForSingleObject(held.started.Get(), 30000), WAIT_OBJECT_0);
    return UniqueHandle(info.hProcess);
}

// Without a job, the tree is found by the processes' parent links, which mislead both ways: a
// child started while the tree is being ended is in no list made before, and a listed identifier
// may since have been taken by a newcomer, or a parent's by another process after it had ended.
// Each is made to happen as the first list is made, by a process started then.
TEST(SyncShellStop, WithoutAJobTheWholeTreeIsEndedAndNothingElse) {
    enum class Late { ChildOfTheHeldOne, ListedUnderTheHeldOne, ListedUnderEndedCmd };
    for (const Late lateOne :
         {Late::ChildOfTheHeldOne, Late::ListedUnderTheHeldOne, Late::ListedUnderEndedCmd}) {
        SCOPED_TRACE(static_cast<int>(lateOne));
        const HeldChild held, late;
        const UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        FailingPlatform platform;
        platform.joinsRefused = 2;
        UniqueHandle lateProcess;
        int lists = 0;
        platform.onList = [&](ProcessPlatform::ProcessList& list) {
            if (lists++ > 0) return;
            const DWORD cmd = platform.handedOut.at(1).processId;  // SyncShell's own handle
            DWORD heldOne = 0;  // cmd.exe's child, still running: cmd.exe is ended first
            for (const ProcessPlatform::Listed& entry : list.processes)
                if (entry.parentId == cmd) heldOne = entry.processId;
            if (lateOne == Late::ChildOfTheHeldOne) {
                const UniqueHandle parent(OpenProcess(PROCESS_CREATE_PROCESS, FALSE, heldOne));
                if (parent) lateProcess = StartHeld(late, parent.Get());
                return;
            }
            lateProcess = StartHeld(late, nullptr);
            const DWORD newcomer = GetProcessId(lateProcess.Get());
            if (lateOne == Late::ListedUnderTheHeldOne) {
                // Created after the list was made: whatever the list says, nobody's child here.
                list.processes.push_back({newcomer, heldOne});
            } else {
                // Listed in time, but created after cmd.exe had gone: no child of cmd.exe's.
                GetSystemTimeAsFileTime(&list.taken);
                list.processes.push_back({newcomer, cmd});
            }
        };
        std::thread operatorSaysStop([&] {
            if (WaitForSingleObject(held.started.Get(), 30000) == WAIT_OBJECT_0)
                SetEvent(stop.Get());
        });
        try {
            ShellModule::SyncShell(held.Through(L"", true), kWindowHidden, platform, stop.Get());
            ADD_FAILURE() << "not stopped";
        } catch (const Error& error) {
            EXPECT_EQ(HowEnded(error), EndedBy::ParentLinksNoJob);
        }
        operatorSaysStop.join();
        ASSERT_TRUE(lateProcess) << "the order was not made to happen";
        EXPECT_TRUE(held.Gone());
        if (lateOne == Late::ChildOfTheHeldOne) {
            EXPECT_TRUE(late.Gone()) << "a child started as the tree was ended ran on";
        } else {
            EXPECT_EQ(WaitForSingleObject(lateProcess.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
                << "a process that was no child was ended";
        }
        late.Release();
    }
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
