// The operator's ways out of a run that takes too long, and the program's care that nothing
// runs on behind it: the real VantleSetup.exe through Wine's ADO and the stand-in provider,
// with stand-in tools that take a long time.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "e2e/install_fixture_win.h"
#include "install/install_reports.h"
#include "install/install_run.h"

namespace vantle::e2e {
namespace {

using testing::StandinCall;
using testing::WindowText;

class StopTest : public InstallTest {
  protected:
    // sqlcmd writes the first line of its log, then takes `sleep`, then the rest.
    HWND StartWithSlowSqlcmd(const wchar_t* sleep = L"60000", Launch launch = {}) {
        launch.environment[L"VANTLE_FAKE_SQLCMD_LOG"] = std::wstring(L"partial");
        launch.environment[L"VANTLE_FAKE_SQLCMD_SLEEP"] = std::wstring(sleep);
        launch.environment[L"VANTLE_FAKE_OSQL_LOG"] = std::wstring(L"write");
        return Start(std::move(launch));
    }
    // OK, then waits until sqlcmd has started (and recorded who it is).
    StandinCall OkAndWaitForSqlcmd(size_t runs = 1) {
        PressOk();
        if (!testing::WaitUntil([&] { return Calls(L"sqlcmd").size() >= runs; }, 30s)) {
            const HWND box = testing::WaitForMessageBox(process_.Id(), L"", 0ms);
            ADD_FAILURE() << "sqlcmd did not start; "
                          << (box ? testing::ToUtf8Text(ReadMessageBox(box).text) : "no box");
            return {};
        }
        // The step shows once it has lasted a moment.
        EXPECT_TRUE(testing::WaitUntil([&] { return WindowText(form_) == kRunningSqlcmd; }, 10s));
        return Calls(L"sqlcmd").back();
    }
    void ClickCancel() { PostMessageW(Field(kIdCancel), BM_CLICK, 0, 0); }
    // The stop question, read and checked; nullptr when none came.
    HWND WaitForStopQuestion() {
        const HWND box = WaitForBox(kStopTitle, 20s);
        if (box == nullptr) {
            ADD_FAILURE() << "no stop question";
            return nullptr;
        }
        const BoxContents contents = ReadMessageBox(box);
        EXPECT_EQ(contents.text, StopQuestion(ScriptTool::Primary));
        std::vector<int> buttons = contents.buttons;
        std::sort(buttons.begin(), buttons.end());
        EXPECT_EQ(buttons, (std::vector<int>{IDYES, IDNO}));
        EXPECT_EQ(contents.defaultButton, IDNO);
        EXPECT_EQ(GetWindow(box, GW_OWNER), form_) << "over the dialog";
        return box;
    }
    // Waits until a tool and the cmd.exe that started it have both ended.
    static bool ToolGone(const StandinCall& tool, std::chrono::milliseconds within) {
        return testing::WaitUntil(
            [&] { return ProcessGone(tool.processId) && ProcessGone(tool.parentProcessId); },
            within);
    }
    LRESULT QueryEndSession() {
        DWORD_PTR result = 99;
        EXPECT_NE(SendMessageTimeoutW(form_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                      5000, &result),
                  0);
        return static_cast<LRESULT>(result);
    }
};

TEST_F(StopTest, CancelThenNoLetsTheRunGoOnToItsNormalEnd) {
    ASSERT_NE(
        StartWithSlowSqlcmd(
            L"6000", {.environment = {{L"VANTLE_FAKE_NOTEPAD_SLEEP", std::wstring(L"15000")}}}),
        nullptr);
    const StandinCall sqlcmd = OkAndWaitForSqlcmd();
    EXPECT_TRUE(IsWindowEnabled(form_)) << "a disabled window ignores its close box";
    EXPECT_TRUE(IsWindowEnabled(Field(kIdCancel)));
    for (const int id : {kIdServer, kIdDatabase, kIdUser, kIdPassword, kIdOk})
        EXPECT_FALSE(IsWindowEnabled(Field(id))) << "control " << id;
    ClickCancel();
    const HWND box = WaitForStopQuestion();
    ASSERT_NE(box, nullptr);
    Answer(box, IDNO);
    EXPECT_FALSE(ProcessGone(sqlcmd.processId)) << "No stopped the tool";
    ExpectScriptRunAndEnd();
    EXPECT_EQ(testing::ReadBytes(Log()), "sqlcmd began\r\nsqlcmd wrote this\r\n");
    // Notepad is no part of the tools' job: it stays after the program has gone.
    const StandinCall notepad = Calls(L"notepad").at(0);
    EXPECT_FALSE(ProcessGone(notepad.processId)) << "Notepad ended with the program";
    const UniqueHandle survivor(OpenProcess(PROCESS_TERMINATE, FALSE, notepad.processId));
    if (survivor) TerminateProcess(survivor.Get(), 0);  // it would hold CTest's output open
}

TEST_F(StopTest, CancelThenYesEndsTheToolAndEverythingItStartedAndReportsIt) {
    ASSERT_NE(StartWithSlowSqlcmd(), nullptr);
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        const StandinCall sqlcmd = OkAndWaitForSqlcmd(static_cast<size_t>(run));
        // The second time by Esc, which means Cancel too.
        if (run == 1) {
            ClickCancel();
        } else {
            PostMessageW(form_, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        }
        const HWND box = WaitForStopQuestion();
        ASSERT_NE(box, nullptr);
        Answer(box, IDYES);
        EXPECT_TRUE(ToolGone(sqlcmd, 3s)) << "sqlcmd or its cmd.exe still running";

        const HWND report = WaitForReport(20s);
        ASSERT_NE(report, nullptr) << "no word of the stop";
        const BoxContents contents = ReadMessageBox(report);
        SCOPED_TRACE(testing::ToUtf8Text(contents.text));
        EXPECT_EQ(contents.text.rfind(L"The table script was stopped: sqlcmd", 0), 0u);
        EXPECT_NE(contents.text.find(L"\n" + Log().wstring() + L"\n"), std::wstring::npos);
        EXPECT_TRUE(contents.hasIcon);
        EXPECT_EQ(testing::ReadBytes(Log()), "sqlcmd began\r\n") << "what it wrote so far";
        Answer(report, IDOK);
        ExpectDialogAsItWas();
        EXPECT_TRUE(Calls(L"osql").empty()) << "no fallback after a stop";
        Sleep(500);
        EXPECT_TRUE(Calls(L"notepad").empty()) << "no Notepad after a stop";
    }
    const auto calls = ProviderCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Initialize"), 2) << "OK ran again";
}

TEST_F(StopTest, TheCloseBoxAndAWmCloseFromOutsideAskTheSameQuestion) {
    ASSERT_NE(StartWithSlowSqlcmd(), nullptr);
    const StandinCall sqlcmd = OkAndWaitForSqlcmd();
    // The close box sends SC_CLOSE; another program (Task Manager's "End task") WM_CLOSE.
    const std::vector<std::pair<UINT, WPARAM>> ways{{WM_SYSCOMMAND, SC_CLOSE}, {WM_CLOSE, 0}};
    for (const auto& [message, wParam] : ways) {
        SCOPED_TRACE(message);
        PostMessageW(form_, message, wParam, 0);
        const HWND box = WaitForStopQuestion();
        ASSERT_NE(box, nullptr);
        Answer(box, IDNO);
        EXPECT_TRUE(process_.IsRunning());
        EXPECT_EQ(WindowText(form_), kRunningSqlcmd) << "No goes on as if nothing had happened";
    }
    EXPECT_FALSE(ProcessGone(sqlcmd.processId));
    PostMessageW(form_, WM_CLOSE, 0, 0);
    const HWND box = WaitForStopQuestion();
    ASSERT_NE(box, nullptr);
    Answer(box, IDYES);
    EXPECT_TRUE(ToolGone(sqlcmd, 3s));
    ASSERT_NE(WaitForReport(20s), nullptr);
}

// The tool ends by itself, leaving no log, while the question is up: Yes stops the run all the
// same, before osql would run the whole script again (or Notepad would start), and says what the
// tool had done, by its name.
TEST_F(StopTest, AYesThatComesAfterTheToolHasEndedStopsTheRunThere) {
    for (const ScriptTool tool : {ScriptTool::Primary, ScriptTool::Fallback}) {
        const std::wstring name = ToolName(tool);
        SCOPED_TRACE(testing::ToUtf8Text(name));
        std::filesystem::remove(root_.Path() / L"sqlcmd.calls");
        const std::wstring upper = tool == ScriptTool::Primary ? L"SQLCMD" : L"OSQL";
        ASSERT_NE(
            Start({.environment = {{L"VANTLE_FAKE_SQLCMD_LOG", std::nullopt},
                                   {L"VANTLE_FAKE_" + upper + L"_SLEEP", std::wstring(L"3000")},
                                   {L"VANTLE_FAKE_OSQL_LOG", std::nullopt}}}),
            nullptr);
        PressOk();
        ASSERT_TRUE(testing::WaitUntil([&] { return !Calls(name).empty(); }, 30s));
        ClickCancel();
        const HWND box = WaitForBox(kStopTitle, 20s);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ReadMessageBox(box).text, StopQuestion(tool));
        ASSERT_TRUE(ToolGone(Calls(name).at(0), 20s)) << "the tool did not end by itself";
        Answer(box, IDYES);
        const HWND report = WaitForReport(20s);
        ASSERT_NE(report, nullptr) << "no word of the stop";
        const std::wstring text = ReadMessageBox(report).text;
        EXPECT_EQ(text.rfind(L"The table script was stopped: " + name +
                                 L" had already ended by itself (exit code 0) without writing the "
                                 L"result log\n" +
                                 Log().wstring() + L"\n",
                             0),
                  0u)
            << testing::ToUtf8Text(text);
        EXPECT_NE(text.find(L"Nothing else was run"), std::wstring::npos);
        Answer(report, IDOK);
        ExpectDialogAsItWas();
        EXPECT_EQ(Calls(L"osql").size(), tool == ScriptTool::Primary ? 0u : 1u) << "osql ran again";
        EXPECT_TRUE(Calls(L"notepad").empty());
        ASSERT_TRUE(TerminateProcess(process_.Handle(), 0));
        process_.WaitForExit(10s);
        std::filesystem::remove(root_.Path() / L"osql.calls");
    }
}

// What no real process can make happen, or not in this order, made to happen by the harness's
// process platform (the stand-in database in place of ADO; the dialog, cmd.exe, the tools and
// the boxes are the program's own) just as a program ends, once its end has been seen: the
// run goes on, or stops, or tells, as the operator and the session asked.
TEST_F(StopTest, WhatComesAsAProgramEndsIsTakenInItsOrder) {
    struct Case {
        const wchar_t* steer;
        bool sqlcmdLog;
        const wchar_t* report;  // how the report opens; none: the program ends after Notepad
        const wchar_t* record;  // what the platform saw
        bool ends;              // the program ends, after the report if any
        int osqlRuns;           // -1: either way
    };
    const Case cases[] = {
        // A way out queued as sqlcmd ended: nothing is asked about a tool that has gone.
        {L"sqlcmd:escape-as-it-ends", false,
         L"The table script was stopped: sqlcmd had already ended by itself (exit code 0) without "
         L"writing the result log\n",
         nullptr, false, 0},
        // A logoff asked as sqlcmd ended, osql still to come: refused.
        {L"sqlcmd:logoff-as-it-ends", false, nullptr, L"logoff answered 0", true, 1},
        // Messages that never stop coming hold nothing up.
        {L"sqlcmd:stream-as-it-ends", false, nullptr, L"stream ended", true, 1},
        {L"osql:wait-fails", false,
         L"The table script was cut short: this program could no longer wait for osql to end, so "
         L"it ended osql and everything it had started.",
         nullptr, false, -1},
        {L"notepad:not-started", true,
         L"The table script has run, but Notepad could not be opened to show its result log: "
         L"cmd.exe, which starts it, could not be started: ",
         nullptr, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::ToUtf8Text(c.steer));
        for (const wchar_t* record : {L"sqlcmd", L"osql", L"notepad", L"platform"})
            std::filesystem::remove(root_.Path() / (std::wstring(record) + L".calls"));
        Launch launch{.harnessDatabase = L"absent"};
        launch.environment[L"VANTLE_FAKE_PLATFORM"] = std::wstring(c.steer);
        launch.environment[L"VANTLE_FAKE_OSQL_LOG"] = std::wstring(L"write");
        if (!c.sqlcmdLog) launch.environment[L"VANTLE_FAKE_SQLCMD_LOG"] = std::nullopt;
        ASSERT_NE(Start(std::move(launch)), nullptr);
        PressOk();
        if (c.report != nullptr) {
            const HWND report = WaitForReport(30s);
            ASSERT_NE(report, nullptr) << "no report";
            EXPECT_EQ(WaitForBox(kStopTitle, 0ms), nullptr) << "asked about a tool that had ended";
            const std::wstring text = ReadMessageBox(report).text;
            EXPECT_EQ(text.rfind(c.report, 0), 0u) << testing::ToUtf8Text(text);
            EXPECT_NE(text.find(L"\n" + Log().wstring() + L"\n"), std::wstring::npos);
            Answer(report, IDOK);
        }
        DWORD exitCode = 99;
        if (c.ends) {
            ASSERT_TRUE(process_.WaitForExit(60s, &exitCode)) << "the run did not go on to its end";
            EXPECT_EQ(exitCode, 0u);
        } else {
            ExpectDialogAsItWas();
            EXPECT_TRUE(Calls(L"notepad").empty());
        }
        if (c.osqlRuns >= 0) {
            EXPECT_EQ(Calls(L"osql").size(), static_cast<size_t>(c.osqlRuns));
        }
        if (c.record != nullptr) {
            const auto seen = PlatformCalls();
            EXPECT_NE(std::find(seen.begin(), seen.end(), c.record), seen.end())
                << (seen.empty() ? "" : testing::ToUtf8Text(seen.back()));
        }
        if (!c.ends) {
            ASSERT_TRUE(TerminateProcess(process_.Handle(), 0));
            process_.WaitForExit(10s);
        }
    }
}

// A way out that reaches the dialog as the probe ends, still queued when the wait sees the end
// (tables present or absent, Esc or a click on Cancel), or taken by the dialog just before the
// wait sees it: the attempt is given up. No question, no report, no tool, the old log kept.
TEST_F(StopTest, AWayOutGivenAsTheProbeEndsGivesTheAttemptUp) {
    for (const std::wstring& server :
         {kAbsentServer + L"-LATEESC", kPresentServer + L"-LATEESC", kAbsentServer + L"-LATECLICK",
          kPresentServer + L"-LATECLICK", kAbsentServer + L"-LASTROUND"}) {
        SCOPED_TRACE(testing::ToUtf8Text(server));
        std::filesystem::remove(root_.Path() / L"provider.calls");
        testing::WriteBytes(Log(), "the previous run's log");
        ASSERT_NE(Start({.server = server}), nullptr);
        PressOk();
        ASSERT_TRUE(testing::WaitUntil(
            [&] {
                const auto calls = ProviderCalls();
                return std::find_if(calls.begin(), calls.end(), [](const std::wstring& call) {
                           return call == L"late input posted" || call == L"escape taken";
                       }) != calls.end();
            },
            30s));
        // Given back, the focus on a control again, not the dialog's while busy: the run is over.
        EXPECT_TRUE(
            testing::WaitUntil([&] { return IsChild(form_, FocusIn(form_)) != FALSE; }, 10s))
            << "the run went on";
        EXPECT_EQ(WaitForBox(kRerunTitle, 0ms), nullptr) << "asked";  // the stop question's too
        EXPECT_EQ(WaitForReport(0ms), nullptr) << "reported";
        ExpectDialogUnchanged();
        EXPECT_EQ(testing::ReadBytes(Log()), "the previous run's log");
        ASSERT_TRUE(TerminateProcess(process_.Handle(), 0));
        process_.WaitForExit(10s);
    }
}

TEST_F(StopTest, CancelWhileConnectingGivesTheDialogBackAtOnceAndTheAttemptIsNeverHeardOf) {
    const std::wstring server = L"SLOW-5000-REFUSED";
    ASSERT_NE(Start({.server = server}), nullptr);
    PressOk();
    // With the mouse, as soon as the run has begun (the keys go to the dialog itself): before
    // the busy look, most likely.
    ASSERT_TRUE(testing::WaitUntil([&] { return FocusIn(form_) == form_; }, 10s));
    ClickWithTheMouse(Field(kIdCancel));
    // Given back at once, long before the attempt ends: the focus back on the control it was on
    // before OK, off the Cancel the click put it on.
    EXPECT_TRUE(testing::WaitUntil(
        [&] {
            const HWND focus = FocusIn(form_);
            return IsChild(form_, focus) && focus != Field(kIdCancel);
        },
        2s))
        << "the dialog was not given back at once";

    // The abandoned attempt fails a few seconds later, unseen.
    ASSERT_TRUE(testing::WaitUntil(
        [&] {
            const auto calls = ProviderCalls();
            return std::find(calls.begin(), calls.end(), L"Initialize failed 0x80040E4D") !=
                   calls.end();
        },
        20s));
    EXPECT_EQ(WaitForReport(2s), nullptr) << "a late report of an abandoned attempt";
    ExpectDialogUnchanged();

    // OK starts a fresh attempt, whose own failure is reported, once, over a dialog no longer
    // busy.
    PressOk();
    const HWND report = WaitForReport(30s);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(WindowText(form_), kCaption);
    for (const int id : {kIdServer, kIdDatabase, kIdUser, kIdPassword, kIdOk})
        EXPECT_TRUE(IsWindowEnabled(Field(id))) << "control " << id << " greyed";
    EXPECT_NE(ReadMessageBox(report).text.find(L"Login failed for user 'quillmar'."),
              std::wstring::npos);
    Answer(report, IDOK);
    EXPECT_EQ(WaitForReport(1s), nullptr);
    ExpectDialogUnchanged();

    // With the mouse again, once the dialog looks busy; then Cancel in the idle dialog ends the
    // program without waiting for an abandoned attempt.
    PressOk();
    ASSERT_TRUE(
        testing::WaitUntil([&] { return WindowText(form_) == ConnectingCaption(server); }, 10s));
    const auto cancelled = std::chrono::steady_clock::now();
    ClickWithTheMouse(Field(kIdCancel));
    ASSERT_TRUE(testing::WaitUntil([&] { return WindowText(form_) == kCaption; }, 2s))
        << "the dialog was not given back at once";
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 2s);
    EXPECT_EQ(WaitForBox(kStopTitle, 0ms), nullptr) << "nothing was changed: nothing to ask";
    ExpectDialogUnchanged();
    const auto ending = std::chrono::steady_clock::now();
    ClickCancel();
    DWORD exitCode = 99;
    ASSERT_TRUE(process_.WaitForExit(10s, &exitCode));
    EXPECT_LT(std::chrono::steady_clock::now() - ending, 3s);
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(StopTest, TheProgramEndedFromOutsideDuringAToolLeavesNothingRunning) {
    ASSERT_NE(StartWithSlowSqlcmd(), nullptr);
    const StandinCall sqlcmd = OkAndWaitForSqlcmd();
    ASSERT_FALSE(ProcessGone(sqlcmd.processId));
    ASSERT_TRUE(TerminateProcess(process_.Handle(), 1));
    EXPECT_TRUE(ToolGone(sqlcmd, 5s)) << "the tool ran on after the program had gone";
    EXPECT_TRUE(Calls(L"osql").empty());
}

TEST_F(StopTest, TheSessionMayNotEndWhileAToolRunsButMayAtRest) {
    ASSERT_NE(StartWithSlowSqlcmd(), nullptr);
    EXPECT_EQ(QueryEndSession(), TRUE) << "at rest";
    const StandinCall sqlcmd = OkAndWaitForSqlcmd();
    EXPECT_EQ(QueryEndSession(), FALSE) << "a logoff would cut the script short";
    EXPECT_FALSE(ProcessGone(sqlcmd.processId));
    ClickCancel();
    const HWND box = WaitForStopQuestion();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(QueryEndSession(), FALSE) << "still running while the operator is asked";
    Answer(box, IDYES);
    const HWND report = WaitForReport(20s);
    ASSERT_NE(report, nullptr);
    Answer(report, IDOK);
    EXPECT_EQ(QueryEndSession(), TRUE) << "at rest again";
}

// A click that does not come from the mouse (UI Automation, a screen reader, another
// program's BM_CLICK) reaches OK and Cancel even under a modal box.
TEST_F(StopTest, OneRunAtATimeWhateverClicksArriveUnderAnOpenBox) {
    ASSERT_NE(Start({.server = kPresentServer}), nullptr);
    PressOk();
    const HWND question = WaitForBox(kRerunTitle);
    ASSERT_NE(question, nullptr);
    PressOk();
    ClickCancel();
    PostMessageW(form_, WM_CLOSE, 0, 0);
    Sleep(3000);
    EXPECT_TRUE(process_.IsRunning()) << "Cancel ended the program under the question";
    EXPECT_TRUE(IsWindow(question));
    auto calls = ProviderCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Initialize"), 1) << "a second run began";
    Answer(question, IDNO);
    Sleep(1500);
    EXPECT_EQ(WaitForBox(kRerunTitle, 0ms), nullptr) << "a second question";
    ExpectDialogUnchanged();

    // The same under a report.
    SendMessageW(Field(kIdServer), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(kRefusingServer.c_str()));
    server_ = kRefusingServer;
    PressOk();
    const HWND report = WaitForReport();
    ASSERT_NE(report, nullptr);
    PressOk();
    ClickCancel();
    Sleep(3000);
    EXPECT_TRUE(process_.IsRunning()) << "Cancel ended the program under the report";
    calls = ProviderCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Initialize"), 2) << "a third run began";
    Answer(report, IDOK);
    Sleep(1500);
    EXPECT_EQ(WaitForReport(0ms), nullptr) << "a second report";
    ExpectDialogUnchanged();
}

}  // namespace
}  // namespace vantle::e2e
