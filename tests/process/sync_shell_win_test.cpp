// SyncShell with real child processes under Wine, and with its platform calls made to fail.
#include <windows.h>

#include <gtest/gtest.h>

#include "process/shell_module_win.h"
#include "support/standin_calls.h"
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

// Real platform calls, but the ones a test names fail.
class FailingPlatform : public ProcessPlatform {
  public:
    bool noProcessId = false, openFails = false, exitCodeFails = false;
    Started Start(const ProgramCommand& command, std::int32_t windowStyle) override {
        Started started = ProcessPlatform::Start(command, windowStyle);
        if (noProcessId) started.processId = 0;
        return started;
    }
    HANDLE Open(DWORD processId) override {
        return openFails ? nullptr : ProcessPlatform::Open(processId);
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

TEST(SyncShell, LeavesNoHandleOpenOnAnyPath) {
    const auto handles = [] {
        DWORD count = 0;
        GetProcessHandleCount(GetCurrentProcess(), &count);
        return count;
    };
    // Warm up whatever the first calls allocate once (loader, console, heaps).
    ShellModule::SyncShell(Child(L"exit 0"), 0);
    FailingPlatform noExitCode;
    noExitCode.exitCodeFails = true;
    FailingPlatform noOpen;
    noOpen.openFails = true;
    const DWORD before = handles();
    for (int i = 0; i < 25; ++i) {
        ShellModule::SyncShell(Child(L"exit 1"), 0);
        EXPECT_THROW(ShellModule::SyncShell(Child(L"exit 0"), 0, noExitCode), Error);
        EXPECT_THROW(ShellModule::SyncShell(Child(L"exit 0"), 0, noOpen), Error);
        EXPECT_THROW(ShellModule::SyncShell(L"no-such-program-4711.exe", 0), Error);
    }
    EXPECT_EQ(handles(), before);
}

}  // namespace
}  // namespace vantle
