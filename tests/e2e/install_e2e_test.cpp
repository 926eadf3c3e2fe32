// OK from end to end in a real window: the dialog, the profiles, message boxes, cmd.exe,
// child processes and files are all real; the database is the in-process stand-in (the
// harness) or, for the last test, ADO itself with no SQL Server provider present.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "dialog/layout.h"
#include "install/install_run.h"
#include "support/standin_calls.h"
#include "support/win_test_support.h"

namespace vantle {
namespace {

using namespace std::chrono_literals;
using testing::BinFolder;
using testing::ChildProcess;
using testing::ReadCalls;
using testing::StandinCall;
using testing::TempDir;
using testing::WaitForTopWindow;
using testing::WindowText;
using testing::WriteBytes;

struct BoxContents {
    HWND box = nullptr;
    std::wstring text;
    bool hasIcon = false;
    std::vector<int> buttons;
    int defaultButton = 0;
};

BoxContents ReadMessageBox(HWND box) {
    BoxContents contents;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring cls = testing::ClassName(child);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            contents.buttons.push_back(GetDlgCtrlID(child));
            if ((style & 0x0F) == BS_DEFPUSHBUTTON) contents.defaultButton = GetDlgCtrlID(child);
        } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                contents.hasIcon = contents.hasIcon || SendMessageW(child, STM_GETICON, 0, 0) != 0;
            } else if (!WindowText(child).empty()) {
                contents.text = WindowText(child);
            }
        }
    }
    return contents;
}

class InstallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(windir_);
        std::filesystem::create_directories(install_);
        std::filesystem::create_directories(temp_);
        WriteBytes(windir_ / L"console.ini", "[console]\r\nPath=" + install_.string() + "\r\n");
        WriteBytes(install_ / L"QVN.ini",
                   "[Database]\r\nServer=SQLHOST\\Q1\r\nDatabase=QuillDB\r\n");
    }

    HWND Start(const std::wstring& database,
               const std::wstring& exeName = L"VantleSetupHarness.exe",
               testing::EnvironmentOverrides more = {},
               const std::filesystem::path& currentFolder = {}) {
        const auto exe = BinFolder() / exeName;
        wchar_t path[32767];
        GetEnvironmentVariableW(L"PATH", path, 32767);
        testing::EnvironmentOverrides environment{
            {L"windir", windir_.wstring()},
            {L"TEMP", temp_.wstring()},
            {L"PATH", testing::StandinFolder().wstring() + L";" + path},
            {L"VANTLE_FAKE_RECORD_DIR", root_.Win()},
            {L"VANTLE_FAKE_DB", database},
            {L"VANTLE_FAKE_SQLCMD_LOG", std::wstring(L"write")}};
        for (auto& [name, value] : more) environment[name] = value;
        process_ =
            ChildProcess::Start(exe, L"\"" + exe.wstring() + L"\"", environment, currentFolder);
        form_ = WaitForTopWindow(process_.Id(), L"Setup Vantle Tables", 30s);
        if (form_ == nullptr) ADD_FAILURE() << "the dialog did not appear";
        return form_;
    }
    // Presses OK and reads the error box it ends in; fails the test when none comes.
    BoxContents ReportAfterOk() {
        PressOk();
        const HWND box = WaitForReport();
        if (box == nullptr) {
            ADD_FAILURE() << "no report";
            return {};
        }
        BoxContents contents = ReadMessageBox(box);
        contents.box = box;
        return contents;
    }
    // An error box over the dialog, titled with the dialog's caption.
    HWND WaitForReport(std::chrono::milliseconds timeout = 30s) const {
        return testing::WaitForMessageBox(process_.Id(), L"Setup Vantle Tables", timeout);
    }
    void PressOk() { PostMessageW(GetDlgItem(form_, kIdOk), BM_CLICK, 0, 0); }
    HWND Field(int id) const { return GetDlgItem(form_, id); }

    std::vector<std::wstring> DatabaseCalls() const {
        std::vector<std::wstring> events;
        for (const StandinCall& call : ReadCalls(root_.Path(), L"database"))
            events.push_back(call.commandLine);
        return events;
    }
    std::vector<StandinCall> Calls(const std::wstring& tool) const {
        return ReadCalls(root_.Path(), tool);
    }
    std::filesystem::path Log() const { return temp_ / L"TableScriptResults.log"; }

    // The program ends after the script run; Notepad is started through "start" and may
    // record a moment later.
    void ExpectScriptRunAndEnd(const std::wstring& server = L"SQLHOST\\Q1") {
        DWORD exitCode = 99;
        ASSERT_TRUE(process_.WaitForExit(60s, &exitCode)) << "the program did not end";
        EXPECT_EQ(exitCode, 0u);
        const auto sqlcmd = Calls(L"sqlcmd");
        ASSERT_EQ(sqlcmd.size(), 1u);
        const std::vector<std::wstring> args(sqlcmd[0].args.begin() + 1, sqlcmd[0].args.end());
        EXPECT_EQ(args,
                  (std::vector<std::wstring>{L"-S", server, L"-U", L"quillmar", L"-d", L"QuillDB",
                                             L"-i", (BinFolder() / L"TableScripts.sql").wstring(),
                                             L"-o", Log().wstring()}));
        EXPECT_EQ(sqlcmd[0].sqlcmdPassword, L"8vek3");
        EXPECT_EQ(sqlcmd[0].currentFolder, BinFolder().wstring());
        EXPECT_TRUE(Calls(L"osql").empty()) << "sqlcmd wrote the log: no fallback";
        ASSERT_TRUE(testing::WaitUntil([&] { return !Calls(L"notepad").empty(); }, 20s));
        const StandinCall notepad = Calls(L"notepad")[0];
        EXPECT_EQ(notepad.args.at(1), Log().wstring());
        EXPECT_FALSE(notepad.sqlcmdPassword.has_value()) << "Notepad inherits no password";
        EXPECT_FALSE(notepad.osqlPassword.has_value());
        EXPECT_EQ(notepad.currentFolder, BinFolder().wstring());
    }

    void ExpectDialogAsItWas() {
        EXPECT_TRUE(process_.IsRunning());
        EXPECT_TRUE(IsWindowVisible(form_));
        EXPECT_TRUE(IsWindowEnabled(form_));
        EXPECT_EQ(WindowText(form_), L"Setup Vantle Tables");
        EXPECT_EQ(WindowText(Field(kIdServer)), L"SQLHOST\\Q1");
        EXPECT_EQ(WindowText(Field(kIdDatabase)), L"QuillDB");
        EXPECT_EQ(WindowText(Field(kIdUser)), L"quillmar");
        EXPECT_EQ(WindowText(Field(kIdPassword)), L"8vek3");
    }

    void ExpectDialogUnchanged() {
        ExpectDialogAsItWas();
        EXPECT_TRUE(Calls(L"sqlcmd").empty());
        EXPECT_TRUE(Calls(L"osql").empty());
        EXPECT_TRUE(Calls(L"notepad").empty());
    }

    TempDir root_{L"inst"};
    std::filesystem::path windir_ = root_.Path() / L"Windows";
    std::filesystem::path install_ = root_.Path() / L"Quill";
    std::filesystem::path temp_ = root_.Path() / L"My Temp";
    ChildProcess process_;
    HWND form_ = nullptr;
};

TEST_F(InstallTest, AbsentTablesRunTheScriptOpenTheLogAndEnd) {
    ASSERT_NE(Start(L"absent"), nullptr);
    WriteBytes(Log(), "an old log");
    PressOk();
    ExpectScriptRunAndEnd();
    EXPECT_EQ(testing::ReadBytes(Log()), "sqlcmd wrote this\r\n");
    const auto db = DatabaseCalls();
    ASSERT_GE(db.size(), 2u);
    EXPECT_EQ(db[1],
              L"connection open Provider=sqloledb;Data Source=SQLHOST\\Q1;Initial Catalog=QuillDB;"
              L"User Id=quillmar;Password=8vek3 | user= | password= | options=-1");
}

TEST_F(InstallTest, WhatTheOperatorTypedIsWhatGetsUsed) {
    ASSERT_NE(Start(L"absent"), nullptr);
    SendMessageW(Field(kIdServer), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"OTHER;HOST & x"));
    PressOk();
    ExpectScriptRunAndEnd(L"OTHER;HOST & x");
    EXPECT_NE(DatabaseCalls().at(1).find(L"Data Source=\"OTHER;HOST & x\";"), std::wstring::npos);
}

TEST_F(InstallTest, PresentTablesAskFirstAndNoChangesNothing) {
    ASSERT_NE(Start(L"present"), nullptr);
    WriteBytes(Log(), "the previous run's log");
    PressOk();
    const HWND box = WaitForTopWindow(process_.Id(), kRerunTitle, 30s);
    ASSERT_NE(box, nullptr) << "no confirmation";
    const BoxContents contents = ReadMessageBox(box);
    EXPECT_EQ(contents.text, kRerunQuestion);
    EXPECT_TRUE(contents.hasIcon);
    std::vector<int> buttons = contents.buttons;
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ(buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(contents.defaultButton, IDNO);
    EXPECT_FALSE(IsWindowEnabled(form_)) << "the dialog takes no input meanwhile";

    PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    ASSERT_TRUE(testing::WaitUntil([&] { return !IsWindow(box); }, 20s));
    ExpectDialogUnchanged();
    EXPECT_EQ(testing::ReadBytes(Log()), "the previous run's log");
}

TEST_F(InstallTest, EnterOnTheConfirmationAnswersNo) {
    ASSERT_NE(Start(L"present"), nullptr);
    PressOk();
    const HWND box = WaitForTopWindow(process_.Id(), kRerunTitle, 30s);
    ASSERT_NE(box, nullptr);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &gui);
    EXPECT_EQ(gui.hwndFocus, GetDlgItem(box, IDNO));
    PostMessageW(gui.hwndFocus, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(gui.hwndFocus, WM_KEYUP, VK_RETURN, 0xC01C0001);
    ASSERT_TRUE(testing::WaitUntil([&] { return !IsWindow(box); }, 20s));
    ExpectDialogUnchanged();
}

TEST_F(InstallTest, PresentTablesAndYesRunTheScriptAsForAFreshDatabase) {
    ASSERT_NE(Start(L"present"), nullptr);
    PressOk();
    const HWND box = WaitForTopWindow(process_.Id(), kRerunTitle, 30s);
    ASSERT_NE(box, nullptr);
    PostMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    ExpectScriptRunAndEnd();
}

TEST_F(InstallTest, AFailedConnectionIsReportedAndTheDialogStaysForAnotherTry) {
    ASSERT_NE(Start(L"login-failure"), nullptr);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        PressOk();
        const HWND box = WaitForReport();
        ASSERT_NE(box, nullptr) << "no report";
        const BoxContents contents = ReadMessageBox(box);
        EXPECT_EQ(contents.text.rfind(L"Could not connect to database QuillDB on server "
                                      L"SQLHOST\\Q1 as quillmar.",
                                      0),
                  0u)
            << testing::ToUtf8Text(contents.text);
        const size_t why = contents.text.find(L"Login failed for user 'quillmar'.");
        const size_t number = contents.text.find(L"0x80040E4D");
        const size_t check = contents.text.find(L"server name");
        EXPECT_LT(why, number);
        EXPECT_LT(number, check);
        EXPECT_NE(check, std::wstring::npos);
        EXPECT_EQ(contents.text.find(L"-2147217843"), std::wstring::npos);
        EXPECT_TRUE(contents.hasIcon);
        EXPECT_EQ(contents.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(GetWindow(box, GW_OWNER), form_) << "over the dialog";
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        ASSERT_TRUE(testing::WaitUntil([&] { return !IsWindow(box); }, 20s));
        ExpectDialogUnchanged();
    }
    const auto db = DatabaseCalls();
    EXPECT_EQ(std::count(db.begin(), db.end(), L"create connection"), 2) << "OK again retries";
    EXPECT_EQ(std::count(db.begin(), db.end(), L"create recordset"), 0);
}

TEST_F(InstallTest, NoRecordsetOrAConnectionNotOpenReturnQuietlyToTheDialog) {
    for (const wchar_t* mode : {L"no-recordset", L"not-open"}) {
        SCOPED_TRACE(testing::ToUtf8Text(mode));
        std::filesystem::remove(root_.Path() / L"database.calls");
        ASSERT_NE(Start(mode), nullptr);
        PressOk();
        ASSERT_TRUE(testing::WaitUntil(
            [&] {
                const auto db = DatabaseCalls();
                return !db.empty() && db.back() == L"connection release";
            },
            30s));
        // The database work ends on its own thread; the dialog is usable once it is back.
        ASSERT_TRUE(testing::WaitUntil([&] { return IsWindowEnabled(form_) != FALSE; }, 10s));
        ExpectDialogUnchanged();
        EXPECT_EQ(WaitForReport(500ms), nullptr) << "nothing is reported";
    }
}

TEST_F(InstallTest, RealAdoWithoutAProviderReportsTheErrorAndKeepsTheDialog) {
    ASSERT_NE(Start(L"", L"VantleSetup.exe"), nullptr);
    PressOk();
    const HWND box = WaitForReport(60s);
    ASSERT_NE(box, nullptr) << "no report";
    const BoxContents contents = ReadMessageBox(box);
    EXPECT_EQ(contents.text.rfind(L"Could not connect to database QuillDB", 0), 0u)
        << testing::ToUtf8Text(contents.text);
    EXPECT_NE(contents.text.find(L"Error 0x8"), std::wstring::npos) << "an HRESULT, in hex";
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(testing::WaitUntil([&] { return !IsWindow(box); }, 20s));
    ExpectDialogUnchanged();
}

// Closes a report box with its OK button and waits until it is gone.
void Dismiss(HWND box) {
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(testing::WaitUntil([&] { return !IsWindow(box); }, 20s));
}

TEST_F(InstallTest, NeitherToolLeavingALogIsReportedWithWhatBecameOfEachAndNoNotepad) {
    ASSERT_NE(Start(L"absent", L"VantleSetupHarness.exe",
                    {{L"VANTLE_FAKE_SQLCMD_LOG", std::nullopt},
                     {L"VANTLE_FAKE_SQLCMD_EXIT", std::wstring(L"1")},
                     {L"VANTLE_FAKE_OSQL_EXIT", std::wstring(L"2")}}),
              nullptr);
    const BoxContents contents = ReportAfterOk();
    ASSERT_NE(contents.box, nullptr);
    SCOPED_TRACE(testing::ToUtf8Text(contents.text));
    EXPECT_TRUE(contents.hasIcon);
    EXPECT_NE(contents.text.find(Log().wstring()), std::wstring::npos);
    EXPECT_NE(contents.text.find(L"sqlcmd: ran and ended with exit code 1"), std::wstring::npos);
    EXPECT_NE(contents.text.find(L"osql: ran and ended with exit code 2"), std::wstring::npos);
    EXPECT_NE(contents.text.find(L"must be installed and on PATH"), std::wstring::npos);
    Dismiss(contents.box);
    ExpectDialogAsItWas();
    EXPECT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Calls(L"osql").size(), 1u);
    Sleep(1000);
    EXPECT_TRUE(Calls(L"notepad").empty()) << "nothing of this run to show";
}

TEST_F(InstallTest, ToolsMissingFromPathAreReportedAsNotFound) {
    const TempDir onlyNotepad{L"np"};
    std::filesystem::copy_file(testing::StandinFolder() / L"notepad.exe",
                               onlyNotepad.Path() / L"notepad.exe");
    ASSERT_NE(Start(L"absent", L"VantleSetupHarness.exe",
                    {{L"PATH", onlyNotepad.Win() + L";C:\\windows\\system32"}}),
              nullptr);
    const BoxContents contents = ReportAfterOk();
    ASSERT_NE(contents.box, nullptr);
    SCOPED_TRACE(testing::ToUtf8Text(contents.text));
    EXPECT_NE(contents.text.find(L"sqlcmd: not found"), std::wstring::npos);
    EXPECT_NE(contents.text.find(L"osql: not found"), std::wstring::npos);
    Dismiss(contents.box);
    ExpectDialogUnchanged();
}

TEST_F(InstallTest, AnOldLogThatCannotBeDeletedIsReportedAndNothingRuns) {
    WriteBytes(Log(), "an earlier run's log");
    SetFileAttributesW(Log().c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(Start(L"absent"), nullptr);
    const BoxContents contents = ReportAfterOk();
    ASSERT_NE(contents.box, nullptr);
    EXPECT_NE(contents.text.find(Log().wstring()), std::wstring::npos)
        << testing::ToUtf8Text(contents.text);
    Dismiss(contents.box);
    Sleep(1000);
    ExpectDialogUnchanged();
    EXPECT_EQ(testing::ReadBytes(Log()), "an earlier run's log");
}

TEST_F(InstallTest, ToolsLyingInTheFolderItWasStartedFromNeverRun) {
    const TempDir downloads{L"dl"};
    for (const wchar_t* tool : {L"sqlcmd.exe", L"osql.exe", L"notepad.exe"})
        std::filesystem::copy_file(testing::StandinFolder() / tool, downloads.Path() / tool);
    ASSERT_NE(Start(L"absent", L"VantleSetupHarness.exe", {}, downloads.Path()), nullptr);
    PressOk();
    ExpectScriptRunAndEnd();
    for (const wchar_t* tool : {L"sqlcmd", L"notepad"}) {
        for (const StandinCall& call : Calls(tool)) {
            EXPECT_EQ(std::filesystem::path(call.programFile).parent_path(),
                      testing::StandinFolder());
        }
    }
}

TEST_F(InstallTest, ASecondCopyBringsTheFirstToTheFrontAndEnds) {
    ASSERT_NE(Start(L"absent"), nullptr);
    ShowWindow(form_, SW_MINIMIZE);
    ASSERT_TRUE(testing::WaitUntil([&] { return IsIconic(form_) != FALSE; }, 10s));
    const auto exe = BinFolder() / L"VantleSetup.exe";
    const ChildProcess second = ChildProcess::Start(exe, L"\"" + exe.wstring() + L"\"");
    DWORD exitCode = 99;
    ASSERT_TRUE(second.WaitForExit(30s, &exitCode)) << "the second copy kept running";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(testing::WaitUntil([&] { return !IsIconic(form_); }, 10s)) << "not restored";
    EXPECT_TRUE(testing::WaitUntil([&] { return GetForegroundWindow() == form_; }, 10s));
    ExpectDialogUnchanged();
    PressOk();
    ExpectScriptRunAndEnd();  // the first copy's run is its own
}

// What an operator's system sees of the dialog while the program is busy, sampled until
// `done` holds: it must answer at once every time and never count as hung.
struct BusyWatch {
    std::vector<std::wstring> captions;  // each different caption, in the order seen
    int samples = 0;
    int unanswered = 0;
    std::vector<std::wstring> unansweredWhile;
    bool reportedHung = false;
};

template <typename Done>
BusyWatch WatchWhileBusy(HWND form, const ChildProcess& process, Done done,
                         std::chrono::seconds limit = 60s) {
    BusyWatch watch;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end && IsWindow(form)) {
        DWORD_PTR result = 0;
        const bool answered =
            SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
        // A program on its way out stops answering too: that is its end, not a stall.
        if (!answered && IsWindow(form) && !process.WaitForExit(2s)) {
            ++watch.unanswered;
            watch.unansweredWhile.push_back(WindowText(form) + L" error " +
                                            std::to_wstring(GetLastError()) + L" at sample " +
                                            std::to_wstring(watch.samples));
        }
        if (IsHungAppWindow(form)) watch.reportedHung = true;
        const std::wstring caption = WindowText(form);
        if (IsWindow(form) && (watch.captions.empty() || watch.captions.back() != caption))
            watch.captions.push_back(caption);
        ++watch.samples;
        Sleep(100);
    }
    return watch;
}

// Everything an operator might do to a busy dialog: Enter and Escape in the fields, typing,
// clicking OK with the mouse and by message, the close box.
void PokeAtEverything(HWND form) {
    const HWND server = GetDlgItem(form, kIdServer);
    const HWND ok = GetDlgItem(form, kIdOk);
    PostMessageW(server, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(server, WM_CHAR, L'\r', 0x001C0001);
    PostMessageW(server, WM_CHAR, L'Z', 0x002C0001);
    PostMessageW(GetDlgItem(form, kIdPassword), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(ok, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageW(ok, BM_CLICK, 0, 0);
    PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
}

const std::wstring kConnecting = L"Setup Vantle Tables - connecting to SQLHOST\\Q1\u2026";
const std::wstring kRunningSqlcmd = L"Setup Vantle Tables - running sqlcmd\u2026";
const std::wstring kRunningOsql = L"Setup Vantle Tables - running osql\u2026";

TEST_F(InstallTest, ASlowConnectionKeepsTheDialogAliveTakesNoInputAndNamesTheStep) {
    ASSERT_NE(Start(L"present", L"VantleSetupHarness.exe",
                    {{L"VANTLE_FAKE_DB_DELAY_MS", std::wstring(L"6000")}}),
              nullptr);
    PressOk();
    ASSERT_TRUE(testing::WaitUntil([&] { return WindowText(form_) == kConnecting; }, 10s));
    PokeAtEverything(form_);
    HWND box = nullptr;
    const BusyWatch watch = WatchWhileBusy(form_, process_, [&] {
        box = testing::WaitForMessageBox(process_.Id(), kRerunTitle, 0ms);
        return box != nullptr;
    });
    ASSERT_NE(box, nullptr) << "no question after the connection";
    EXPECT_GE(watch.samples, 10);
    EXPECT_EQ(watch.unanswered, 0) << "WM_NULL went unanswered for a second: "
                                   << testing::ToUtf8Text(watch.unansweredWhile.front());
    EXPECT_FALSE(watch.reportedHung);
    EXPECT_EQ(watch.captions.front(), kConnecting);

    // Nothing given while busy acts now: the question stays until answered, nothing typed
    // arrived, the program runs on, and there was one connection attempt.
    Sleep(1500);
    EXPECT_TRUE(IsWindow(box)) << "an Enter typed while busy answered the question";
    EXPECT_TRUE(process_.IsRunning());
    EXPECT_EQ(WindowText(form_), L"Setup Vantle Tables");
    PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    ASSERT_TRUE(testing::WaitUntil([&] { return !IsWindow(box); }, 20s));
    Sleep(1000);
    ExpectDialogUnchanged();
    const auto db = DatabaseCalls();
    EXPECT_EQ(std::count(db.begin(), db.end(), L"create connection"), 1) << "a second run";
}

TEST_F(InstallTest, SlowToolsKeepTheDialogAliveTakeNoInputAndNameEachTool) {
    ASSERT_NE(Start(L"absent", L"VantleSetupHarness.exe",
                    {{L"VANTLE_FAKE_SQLCMD_LOG", std::nullopt},
                     {L"VANTLE_FAKE_SQLCMD_SLEEP", std::wstring(L"4000")},
                     {L"VANTLE_FAKE_OSQL_LOG", std::wstring(L"write")},
                     {L"VANTLE_FAKE_OSQL_SLEEP", std::wstring(L"4000")}}),
              nullptr);
    PressOk();
    ASSERT_TRUE(testing::WaitUntil([&] { return WindowText(form_) == kRunningSqlcmd; }, 20s));
    PokeAtEverything(form_);
    const BusyWatch watch = WatchWhileBusy(form_, process_, [&] { return !process_.IsRunning(); });
    EXPECT_GE(watch.samples, 20);
    EXPECT_EQ(watch.unanswered, 0) << "WM_NULL went unanswered for a second: "
                                   << testing::ToUtf8Text(watch.unansweredWhile.front());
    EXPECT_FALSE(watch.reportedHung);
    EXPECT_EQ(watch.captions, (std::vector<std::wstring>{kRunningSqlcmd, kRunningOsql}));

    DWORD exitCode = 99;
    ASSERT_TRUE(process_.WaitForExit(30s, &exitCode));
    EXPECT_EQ(exitCode, 0u) << "the run ended as it should, not through the close box";
    EXPECT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Calls(L"osql").size(), 1u);
    ASSERT_TRUE(testing::WaitUntil([&] { return !Calls(L"notepad").empty(); }, 20s));
    const auto db = DatabaseCalls();
    EXPECT_EQ(std::count(db.begin(), db.end(), L"create connection"), 1) << "a second run";
    EXPECT_EQ(Calls(L"sqlcmd")[0].args.at(2), L"SQLHOST\\Q1") << "typed text reached a tool";
}

}  // namespace
}  // namespace vantle
