// OK from end to end in a real window: the dialog, the profiles, message boxes, cmd.exe,
// child processes and files are all real; the database is the in-process stand-in (the
// harness) or, for the last test, ADO itself with no SQL Server provider present.
#include <windows.h>

#include <gtest/gtest.h>

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
               const std::wstring& exeName = L"VantleSetupHarness.exe") {
        const auto exe = BinFolder() / exeName;
        wchar_t path[32767];
        GetEnvironmentVariableW(L"PATH", path, 32767);
        process_ = ChildProcess::Start(exe, L"\"" + exe.wstring() + L"\"",
                                       {{L"windir", windir_.wstring()},
                                        {L"TEMP", temp_.wstring()},
                                        {L"PATH", testing::StandinFolder().wstring() + L";" + path},
                                        {L"VANTLE_FAKE_RECORD_DIR", root_.Win()},
                                        {L"VANTLE_FAKE_DB", database},
                                        {L"VANTLE_FAKE_SQLCMD_LOG", std::wstring(L"write")}});
        form_ = WaitForTopWindow(process_.Id(), L"Setup Vantle Tables", 30s);
        if (form_ == nullptr) ADD_FAILURE() << "the dialog did not appear";
        return form_;
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
                  (std::vector<std::wstring>{
                      L"-S", server, L"-U", L"quillmar", L"-P", L"8vek3", L"-d", L"QuillDB", L"-i",
                      (BinFolder() / L"TableScripts.sql").wstring(), L"-o", Log().wstring()}));
        EXPECT_TRUE(Calls(L"osql").empty()) << "sqlcmd wrote the log: no fallback";
        ASSERT_TRUE(testing::WaitUntil([&] { return !Calls(L"notepad").empty(); }, 20s));
        EXPECT_EQ(Calls(L"notepad")[0].args.at(1), Log().wstring());
    }

    void ExpectDialogUnchanged() {
        EXPECT_TRUE(process_.IsRunning());
        EXPECT_TRUE(IsWindowVisible(form_));
        EXPECT_TRUE(IsWindowEnabled(form_));
        EXPECT_EQ(WindowText(Field(kIdServer)), L"SQLHOST\\Q1");
        EXPECT_EQ(WindowText(Field(kIdDatabase)), L"QuillDB");
        EXPECT_EQ(WindowText(Field(kIdUser)), L"quillmar");
        EXPECT_EQ(WindowText(Field(kIdPassword)), L"8vek3");
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

struct BoxContents {
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
        const HWND box = WaitForTopWindow(process_.Id(), L"VantleSetup", 30s);
        ASSERT_NE(box, nullptr) << "no report";
        const BoxContents contents = ReadMessageBox(box);
        EXPECT_NE(contents.text.find(L"-2147217843"), std::wstring::npos) << "number missing";
        EXPECT_NE(contents.text.find(L"80040e4d"), std::wstring::npos);
        EXPECT_NE(contents.text.find(L"Login failed for user 'quillmar'."), std::wstring::npos);
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
        ExpectDialogUnchanged();
        EXPECT_EQ(WaitForTopWindow(process_.Id(), L"VantleSetup", 500ms), nullptr)
            << "nothing is reported";
    }
}

TEST_F(InstallTest, RealAdoWithoutAProviderReportsTheErrorAndKeepsTheDialog) {
    ASSERT_NE(Start(L"", L"VantleSetup.exe"), nullptr);
    PressOk();
    const HWND box = WaitForTopWindow(process_.Id(), L"VantleSetup", 60s);
    ASSERT_NE(box, nullptr) << "no report";
    const BoxContents contents = ReadMessageBox(box);
    EXPECT_NE(contents.text.find(L"Run-time error '-"), std::wstring::npos)
        << testing::ToUtf8Text(contents.text);
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(testing::WaitUntil([&] { return !IsWindow(box); }, 20s));
    ExpectDialogUnchanged();
}

}  // namespace
}  // namespace vantle
