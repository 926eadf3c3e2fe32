// OK from end to end: the real VantleSetup.exe, through Wine's own ADO and the stand-in
// provider beneath it, the real cmd.exe and the stand-in tools. Only what no provider can make
// ADO do (a connection that opens but is not open, no recordset object) uses the harness.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <optional>

#include "common/app_identity.h"
#include "dialog/form1_win.h"
#include "e2e/install_fixture_win.h"
#include "install/install_run.h"

namespace vantle::e2e {
namespace {

using testing::BinFolder;
using testing::StandinCall;
using testing::WindowText;
using testing::WriteBytes;

// What the stand-in provider hears from one probe with the fields as the profiles fill them,
// from the class factory to the data source's release.
std::vector<std::wstring> ProbeCalls(const std::wstring& server) {
    return {L"CreateInstance",
            L"SetProperties",
            L"property Data Source=" + server,
            L"property Initial Catalog=QuillDB",
            L"property User ID=quillmar",
            L"property Password=8vek3",
            L"Initialize",
            L"load vantle_netlib.dll: not found",
            L"CreateSession",
            L"Uninitialize",
            L"CreateCommand",
            L"SetCommandText select * from vantle",
            L"Execute"};
}

std::vector<std::wstring> First(const std::vector<std::wstring>& calls, size_t count) {
    return {calls.begin(),
            calls.begin() + static_cast<std::ptrdiff_t>(std::min(count, calls.size()))};
}

// The calls in `calls` that `wanted` names, in their order: what a test checks without
// tying itself to every call in between.
std::vector<std::wstring> Only(const std::vector<std::wstring>& calls,
                               const std::vector<std::wstring>& wanted) {
    std::vector<std::wstring> kept;
    for (const std::wstring& call : calls) {
        if (std::find(wanted.begin(), wanted.end(), call) != wanted.end()) kept.push_back(call);
    }
    return kept;
}

TEST_F(InstallTest, AbsentTablesRunTheScriptOpenTheLogAndEnd) {
    ASSERT_NE(Start(), nullptr);
    WriteBytes(Log(), "an old log");
    PressOk();
    ExpectScriptRunAndEnd();
    EXPECT_EQ(testing::ReadBytes(Log()), "sqlcmd wrote this\r\n");
    const auto calls = ProviderCalls();
    const auto expected = ProbeCalls(kAbsentServer);
    EXPECT_EQ(First(calls, expected.size()), expected)
        << "the provider got other properties or another probe";
    EXPECT_EQ(First(calls, expected.size() + 1).back(), L"Execute failed 0x80040E37");
    // Nothing of the probe is held when the tools run. (Wine's ADO never lets go of the data
    // source object itself, whatever its caller releases.)
    for (const wchar_t* release : {L"release command", L"release session"})
        EXPECT_EQ(std::count(calls.begin(), calls.end(), release), 1) << release;
}

TEST_F(InstallTest, WhatTheOperatorTypedIsWhatGetsUsed) {
    ASSERT_NE(Start(), nullptr);
    SendMessageW(Field(kIdServer), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"OTHER;HOST & x"));
    SendMessageW(Field(kIdPassword), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"p=q;r"));
    PressOk();
    DWORD exitCode = 99;
    ASSERT_TRUE(process_.WaitForExit(60s, &exitCode));
    const auto calls = ProviderCalls();
    // Quoted by the OLE DB rules, each value reaches the provider whole.
    EXPECT_NE(std::find(calls.begin(), calls.end(), L"property Data Source=OTHER;HOST & x"),
              calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), L"property Password=p=q;r"), calls.end());
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Calls(L"sqlcmd")[0].args.at(2), L"OTHER;HOST & x");
    EXPECT_EQ(Calls(L"sqlcmd")[0].sqlcmdPassword, L"p=q;r");
}

// A key that lands as the probe ends, after the wait has seen it end, is dropped too: it
// must not type into the field just given back (the dialog's unchanged at the end).
TEST_F(InstallTest, PresentTablesAskFirstAndNoChangesNothing) {
    const std::wstring server = kPresentServer + L"-LATEKEY";
    ASSERT_NE(Start({.server = server}), nullptr);
    WriteBytes(Log(), "the previous run's log");
    PressOk();
    // Nothing is sent to the dialog until the key has landed: its thread must be held in its
    // wait, not answering the test.
    ASSERT_TRUE(testing::WaitUntil(
        [&] {
            const auto calls = ProviderCalls();
            return std::find(calls.begin(), calls.end(), L"late input posted") != calls.end();
        },
        30s));
    const HWND box = WaitForBox(kRerunTitle);
    ASSERT_NE(box, nullptr) << "no confirmation";
    const BoxContents contents = ReadMessageBox(box);
    EXPECT_EQ(contents.text, kRerunQuestion);
    EXPECT_TRUE(contents.hasIcon);
    std::vector<int> buttons = contents.buttons;
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ(buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(contents.defaultButton, IDNO);
    EXPECT_FALSE(IsWindowEnabled(form_)) << "the dialog takes no input meanwhile";
    const auto calls = ProviderCalls();
    EXPECT_EQ(First(calls, ProbeCalls(server).size()), ProbeCalls(server));
    EXPECT_EQ(Only(calls, {L"late input posted"}), std::vector<std::wstring>{L"late input posted"});
    // Every object is released before the question is put.
    EXPECT_EQ(
        Only(calls, {L"release rowset", L"release command", L"release session"}),
        (std::vector<std::wstring>{L"release rowset", L"release command", L"release session"}));

    Answer(box, IDNO);
    ExpectDialogUnchanged();
    ExpectFocusBackOnAControl();
    EXPECT_EQ(testing::ReadBytes(Log()), "the previous run's log");
}

TEST_F(InstallTest, EnterAndEscOnTheConfirmationAnswerNo) {
    ASSERT_NE(Start({.server = kPresentServer}), nullptr);
    for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        SCOPED_TRACE(key == VK_RETURN ? "Enter" : "Esc");
        PressOk();
        const HWND box = WaitForBox(kRerunTitle);
        ASSERT_NE(box, nullptr);
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &gui);
        EXPECT_EQ(gui.hwndFocus, GetDlgItem(box, IDNO));
        PostMessageW(gui.hwndFocus, WM_KEYDOWN, key, 0x00010001);
        PostMessageW(gui.hwndFocus, WM_KEYUP, key, 0xC0010001);
        ASSERT_TRUE(testing::WaitUntil([&] { return !IsWindow(box); }, 20s));
        ExpectDialogUnchanged();
    }
}

TEST_F(InstallTest, PresentTablesAndYesRunTheScriptAsForAFreshDatabase) {
    ASSERT_NE(Start({.server = kPresentServer}), nullptr);
    const auto ok = std::chrono::steady_clock::now();
    PressOk();
    // A server that answers at once: the dialog does not look busy on the way to the question
    // before the delay (a loaded machine may take longer to ask, and then the look rightly shows).
    HWND box = nullptr;
    for (const auto end = ok + 30s; box == nullptr && std::chrono::steady_clock::now() < end;
         box = WaitForBox(kRerunTitle, 0ms)) {
        bool looksBusy = WindowText(form_) != kCaption;
        for (const int id : {kIdServer, kIdDatabase, kIdUser, kIdPassword, kIdOk})
            looksBusy = looksBusy || !IsWindowEnabled(Field(id));
        // Timed once read: the look came no later than this.
        const auto seen = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - ok)
                              .count();
        ASSERT_TRUE(!looksBusy || seen >= Form1::kBusyLookDelayMs)
            << "a greyed field or a changed caption showed " << seen << " ms after OK";
    }
    ASSERT_NE(box, nullptr);
    PostMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    ExpectScriptRunAndEnd(kPresentServer);
}

// A registration in the test prefix broken while this lives, and put back after: the other
// tests share the prefix. The default value of HKCR\`key` is kept, then `replacement` is
// written there or, without one, the whole tree it stands in is deleted.
class RegistrationBroken {
  public:
    RegistrationBroken(std::wstring key, std::optional<std::wstring> replacement)
        : key_(std::move(key)) {
        DWORD size = sizeof saved_;
        EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, key_.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                               saved_, &size),
                  ERROR_SUCCESS);
        if (replacement) {
            EXPECT_EQ(SetDefault(replacement->c_str()), ERROR_SUCCESS);
        } else {
            const std::wstring tree = key_.substr(0, key_.find(L'\\'));
            EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, tree.c_str()), ERROR_SUCCESS);
        }
    }
    RegistrationBroken(const RegistrationBroken&) = delete;
    RegistrationBroken& operator=(const RegistrationBroken&) = delete;
    ~RegistrationBroken() { EXPECT_EQ(SetDefault(saved_), ERROR_SUCCESS) << "not put back"; }

  private:
    LSTATUS SetDefault(const wchar_t* text) const {
        return RegSetKeyValueW(HKEY_CLASSES_ROOT, key_.c_str(), nullptr, REG_SZ, text,
                               static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
    }
    std::wstring key_;
    wchar_t saved_[MAX_PATH] = {};
};

// A refused login and an unreachable server: the provider's own words and source, the
// number in hex, the dialog kept, and OK tries again. Without the provider, or with ADO's own
// classes pointing at a DLL that is not there, through Wine's own ADO: that is what the report
// says, not to check the fields, and for ADO not to register the provider either; without ADO's
// Recordset, that the server was reached and the login accepted.
TEST_F(InstallTest, AFailedConnectionIsReportedInTheProvidersWordsAndTheDialogStays) {
    enum class Broken { Nothing, Provider, Ado, Recordset };
    struct Case {
        std::wstring server, why, number, advice = L"server name";
        Broken broken = Broken::Nothing;
    };
    const auto classServer = [](const wchar_t* classId) {
        return std::wstring(L"CLSID\\{") + classId +
               L"-0000-0010-8000-00AA006D2EA4}\\InprocServer32";
    };
    for (const Case& c :
         {Case{kRefusingServer, L"Login failed for user 'quillmar'.",
               L"Error 0x80040E4D (Microsoft OLE DB Provider for SQL Server)"},
          Case{kUnreachableServer,
               L"[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not "
               L"exist or access denied.",
               L"Error 0x80004005 (Microsoft OLE DB Provider for SQL Server)"},
          Case{kAbsentServer,
               L"Invalid class string: nothing is registered under the name asked for.",
               L"Error 0x800401F3 (ADODB.Connection)", L"SQLOLEDB comes with Windows",
               Broken::Provider},
          // What Wine's COM answers for a DLL that is not there; Windows has 0x8007007E.
          Case{kAbsentServer, L"Access denied.", L"Error 0x80070005 (ADODB.Connection)",
               L"msado15.dll", Broken::Ado},
          Case{kAbsentServer, L"Access denied.", L"Error 0x80070005 (ADODB.Recordset)",
               L"msado15.dll", Broken::Recordset}}) {
        SCOPED_TRACE(testing::ToUtf8Text(c.server));
        std::filesystem::remove(root_.Path() / L"provider.calls");
        std::optional<RegistrationBroken> broken;
        const std::wstring missingDll = (root_.Path() / L"no-such-ado.dll").wstring();
        if (c.broken == Broken::Provider) broken.emplace(L"SQLOLEDB\\CLSID", std::nullopt);
        if (c.broken == Broken::Ado) broken.emplace(classServer(L"00000514"), missingDll);
        if (c.broken == Broken::Recordset) broken.emplace(classServer(L"00000535"), missingDll);
        const bool connects = c.broken == Broken::Nothing || c.broken == Broken::Recordset;
        ASSERT_NE(Start({.server = c.server}), nullptr);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            const BoxContents contents = ReportAfterOk();
            ASSERT_NE(contents.box, nullptr);
            SCOPED_TRACE(testing::ToUtf8Text(contents.text));
            const std::wstring where = L"database QuillDB on server " + c.server + L" as quillmar";
            EXPECT_EQ(contents.text.rfind(c.broken == Broken::Recordset
                                              ? L"Connected to " + where +
                                                    L", but could not look for the Vantle Tables."
                                              : L"Could not connect to " + where + L".",
                                          0),
                      0u);
            const size_t why = contents.text.find(L"\n\n" + c.why + L"\n\n");
            const size_t number = contents.text.find(c.number);
            const size_t advice = contents.text.find(c.advice);
            EXPECT_NE(why, std::wstring::npos);
            EXPECT_LT(why, number);
            EXPECT_LT(number, advice);
            EXPECT_NE(advice, std::wstring::npos);
            EXPECT_EQ(contents.text.find(L"Unknown error"), std::wstring::npos);
            EXPECT_EQ(contents.text.find(L"Check the server name") == std::wstring::npos,
                      c.broken != Broken::Nothing);
            EXPECT_EQ(contents.text.find(L"sqloledb.dll") == std::wstring::npos,
                      c.broken != Broken::Provider);
            EXPECT_TRUE(contents.hasIcon);
            EXPECT_EQ(contents.buttons, std::vector<int>{IDOK});
            EXPECT_EQ(GetWindow(contents.box, GW_OWNER), form_) << "over the dialog";
            Answer(contents.box, IDOK);
            ExpectDialogUnchanged();
            ExpectFocusBackOnAControl();
        }
        const auto calls = ProviderCalls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Initialize"), connects ? 2 : 0)
            << "OK again retries";
        EXPECT_EQ(std::count(calls.begin(), calls.end(), L"CreateSession"),
                  c.broken == Broken::Recordset ? 2 : 0);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Execute"), 0) << "a probe ran";
    }
}

TEST_F(InstallTest, NoRecordsetOrAConnectionNotOpenIsReportedAndTheDialogStays) {
    // Wine's ADO can be made to do neither by a provider: the harness stands in for ADO.
    for (const auto& [mode, opening] :
         {std::pair{L"no-recordset", L"Connected to database QuillDB"},
          {L"not-open", L"Could not connect to database QuillDB"}}) {
        SCOPED_TRACE(testing::ToUtf8Text(mode));
        std::filesystem::remove(root_.Path() / L"database.calls");
        ASSERT_NE(Start({.harnessDatabase = mode}), nullptr);
        const BoxContents contents = ReportAfterOk();
        ASSERT_NE(contents.box, nullptr) << "an OK that ended in silence";
        EXPECT_EQ(contents.text.rfind(opening, 0), 0u) << testing::ToUtf8Text(contents.text);
        EXPECT_EQ(DatabaseCalls().back(), L"connection release") << "reported with ADO held";
        Answer(contents.box, IDOK);
        ExpectDialogUnchanged();
    }
}

TEST_F(InstallTest, NeitherToolLeavingALogIsReportedWithWhatBecameOfEachAndNoNotepad) {
    ASSERT_NE(Start({.environment = {{L"VANTLE_FAKE_SQLCMD_LOG", std::nullopt},
                                     {L"VANTLE_FAKE_SQLCMD_EXIT", std::wstring(L"1")},
                                     {L"VANTLE_FAKE_OSQL_EXIT", std::wstring(L"2")}}}),
              nullptr);
    const BoxContents contents = ReportAfterOk();
    ASSERT_NE(contents.box, nullptr);
    SCOPED_TRACE(testing::ToUtf8Text(contents.text));
    EXPECT_TRUE(contents.hasIcon);
    EXPECT_NE(contents.text.find(Log().wstring()), std::wstring::npos);
    EXPECT_NE(contents.text.find(L"sqlcmd: ran and ended with exit code 1"), std::wstring::npos);
    EXPECT_NE(contents.text.find(L"osql: ran and ended with exit code 2"), std::wstring::npos);
    // Both are there and ran: what to check is the log's folder.
    EXPECT_NE(contents.text.find(L"Check that the temporary folder (TEMP)\n" + temp_.wstring()),
              std::wstring::npos);
    Answer(contents.box, IDOK);
    ExpectDialogAsItWas();
    EXPECT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Calls(L"osql").size(), 1u);
    Sleep(1000);
    EXPECT_TRUE(Calls(L"notepad").empty()) << "nothing of this run to show";
}

TEST_F(InstallTest, ToolsOrNotepadMissingAreReported) {
    const testing::TempDir onlyNotepad{L"np"};
    std::filesystem::copy_file(testing::StandinFolder() / L"notepad.exe",
                               onlyNotepad.Path() / L"notepad.exe");
    ASSERT_NE(Start({.environment = {{L"PATH", onlyNotepad.Win() + L";C:\\windows\\system32"}}}),
              nullptr);
    const BoxContents contents = ReportAfterOk();
    ASSERT_NE(contents.box, nullptr);
    SCOPED_TRACE(testing::ToUtf8Text(contents.text));
    EXPECT_NE(contents.text.find(L"sqlcmd: not found"), std::wstring::npos);
    EXPECT_NE(contents.text.find(L"osql: not found"), std::wstring::npos);
    EXPECT_NE(contents.text.find(L"must be installed and on PATH"), std::wstring::npos);
    Answer(contents.box, IDOK);
    ExpectDialogUnchanged();

    // Notepad taken out of the Windows folders, and none on PATH: the script runs, the box says
    // where its log is, and the program ends as after a finished run.
    struct NotepadRemoved {
        std::vector<std::wstring> moved;
        NotepadRemoved() {
            wchar_t folder[MAX_PATH];
            for (const UINT length :
                 {GetWindowsDirectoryW(folder, MAX_PATH), GetSystemDirectoryW(folder, MAX_PATH)}) {
                const std::wstring notepad = std::wstring(folder, length) + L"\\notepad.exe";
                if (MoveFileW(notepad.c_str(), (notepad + L".away").c_str()))
                    moved.push_back(notepad);
            }
        }
        ~NotepadRemoved() {
            for (const std::wstring& notepad : moved)
                MoveFileW((notepad + L".away").c_str(), notepad.c_str());
        }
    };
    const testing::TempDir onlyTools{L"tools"};
    std::filesystem::copy_file(testing::StandinFolder() / L"sqlcmd.exe",
                               onlyTools.Path() / L"sqlcmd.exe");
    const NotepadRemoved removed;
    ASSERT_EQ(removed.moved.size(), 2u);
    ASSERT_NE(Start({.environment = {{L"PATH", onlyTools.Win() + L";C:\\windows\\system32"}}}),
              nullptr);
    const BoxContents told = ReportAfterOk();
    ASSERT_NE(told.box, nullptr);
    EXPECT_EQ(told.text.rfind(L"The table script has run, but Notepad could not be opened", 0), 0u)
        << testing::ToUtf8Text(told.text);
    EXPECT_NE(told.text.find(L"\n" + Log().wstring() + L"\n"), std::wstring::npos);
    EXPECT_EQ(testing::ReadBytes(Log()), "sqlcmd wrote this\r\n");
    Answer(told.box, IDOK);
    DWORD exitCode = 99;
    ASSERT_TRUE(process_.WaitForExit(20s, &exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(InstallTest, AnOldLogThatCannotBeDeletedOrAValueTooLongForCmdIsReportedAndNothingRuns) {
    WriteBytes(Log(), "an earlier run's log");
    SetFileAttributesW(Log().c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(Start(), nullptr);
    const BoxContents contents = ReportAfterOk();
    ASSERT_NE(contents.box, nullptr);
    EXPECT_NE(contents.text.find(Log().wstring()), std::wstring::npos)
        << testing::ToUtf8Text(contents.text);
    Answer(contents.box, IDOK);
    Sleep(1000);
    ExpectDialogUnchanged();
    EXPECT_EQ(testing::ReadBytes(Log()), "an earlier run's log");

    // A database name the provider takes but no cmd.exe line can carry, or a temporary folder
    // that makes every line too long: refused by name when OK is pressed, before the provider
    // is asked anything, where Wine's cmd.exe would silently have run nothing.
    const std::wstring database(9000, L'd');
    const std::wstring longTemp = L"C:\\" + std::wstring(8200, L't');
    for (const bool longFolder : {false, true}) {
        std::filesystem::remove(root_.Path() / L"provider.calls");
        if (longFolder) {
            ASSERT_NE(Start({.environment = {{L"TEMP", longTemp}}}), nullptr);
        } else {
            SendMessageW(Field(kIdDatabase), WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(database.c_str()));
        }
        const BoxContents refused = ReportAfterOk();
        ASSERT_NE(refused.box, nullptr);
        EXPECT_EQ(refused.text.find(longFolder ? L"The temporary folder is too long"
                                               : L"The database is too long"),
                  std::wstring(L"The table script was not run: ").size())
            << testing::ToUtf8Text(refused.text);
        EXPECT_NE(refused.text.find(L"at most 8191"), std::wstring::npos);
        Answer(refused.box, IDOK);
        EXPECT_TRUE(
            testing::WaitUntil([&] { return IsWindowEnabled(Field(kIdOk)) != FALSE; }, 10s));
        EXPECT_EQ(WindowText(Field(kIdDatabase)), longFolder ? L"QuillDB" : database)
            << "the dialog stays as it was";
        EXPECT_TRUE(ProviderCalls().empty()) << "connected before refusing";
        EXPECT_TRUE(Calls(L"sqlcmd").empty());
        EXPECT_TRUE(Calls(L"osql").empty());
    }
}

TEST_F(InstallTest, ToolsLyingInTheFolderItWasStartedFromNeverRun) {
    const testing::TempDir downloads{L"dl"};
    for (const wchar_t* tool : {L"sqlcmd.exe", L"osql.exe", L"notepad.exe"})
        std::filesystem::copy_file(testing::StandinFolder() / tool, downloads.Path() / tool);
    ASSERT_NE(Start({.currentFolder = downloads.Path()}), nullptr);
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
    ASSERT_NE(Start(), nullptr);
    ShowWindow(form_, SW_MINIMIZE);
    ASSERT_TRUE(testing::WaitUntil([&] { return IsIconic(form_) != FALSE; }, 10s));
    const auto exe = BinFolder() / L"VantleSetup.exe";
    const testing::ChildProcess second =
        testing::ChildProcess::Start(exe, L"\"" + exe.wstring() + L"\"");
    DWORD exitCode = 99;
    ASSERT_TRUE(second.WaitForExit(30s, &exitCode)) << "the second copy kept running";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(testing::WaitUntil([&] { return !IsIconic(form_); }, 10s)) << "not restored";
    EXPECT_TRUE(testing::WaitUntil([&] { return GetForegroundWindow() == form_; }, 10s));
    ExpectDialogUnchanged();
    PressOk();
    ExpectScriptRunAndEnd();  // the first copy's run is its own

    // Made by a copy with other rights (an elevated one, say), the mutex cannot be opened here:
    // a first copy all the same, and this one ends.
    ACL noAccess;
    SECURITY_DESCRIPTOR otherRights;
    ASSERT_TRUE(InitializeAcl(&noAccess, sizeof noAccess, ACL_REVISION) &&
                InitializeSecurityDescriptor(&otherRights, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorDacl(&otherRights, TRUE, &noAccess, FALSE));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &otherRights, FALSE};
    const UniqueHandle held(CreateMutexW(&attributes, FALSE, kSingleInstanceMutex));
    ASSERT_TRUE(held);
    const testing::ChildProcess third =
        testing::ChildProcess::Start(exe, L"\"" + exe.wstring() + L"\"");
    EXPECT_TRUE(third.WaitForExit(30s)) << "ran beside the first copy";
}

TEST_F(InstallTest, ASlowLoginKeepsTheDialogAliveTakesNoInputAndNamesTheStep) {
    const std::wstring server = L"SLOW-6000-PRESENT";
    ASSERT_NE(Start({.server = server}), nullptr);
    PressOk();
    // At once, before the fields are greyed: they take nothing from the click on.
    PokeAtTheDisabledControls(form_);
    ASSERT_TRUE(
        testing::WaitUntil([&] { return WindowText(form_) == ConnectingCaption(server); }, 10s));
    HWND box = nullptr;
    const BusyWatch watch = WatchWhileBusy(form_, process_, [&] {
        box = WaitForBox(kRerunTitle, 0ms);
        return box != nullptr;
    });
    ASSERT_NE(box, nullptr) << "no question after the connection";
    EXPECT_GE(watch.samples, 10);
    EXPECT_EQ(watch.unanswered, 0) << "WM_NULL went unanswered for a second: "
                                   << testing::ToUtf8Text(watch.unansweredWhile.front());
    EXPECT_FALSE(watch.reportedHung);
    EXPECT_EQ(watch.captions.front(), ConnectingCaption(server));

    // Nothing given while busy acts now: the question stays until answered, nothing typed
    // arrived, the program runs on, and there was one connection attempt.
    Sleep(1500);
    EXPECT_TRUE(IsWindow(box)) << "an Enter typed while busy answered the question";
    EXPECT_TRUE(process_.IsRunning());
    EXPECT_EQ(WindowText(form_), kCaption);
    Answer(box, IDNO);
    Sleep(1000);
    ExpectDialogUnchanged();
    const auto calls = ProviderCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Initialize"), 1) << "a second run";

    // Esc, Alt+F4 and the system menu's Close give the attempt up, typed into a field that was
    // greyed as they came, or (Esc given with OK) one not greyed yet.
    struct Key {
        UINT message;
        WPARAM key;
        LPARAM data;
        bool beforeTheLook = false;
    };
    for (const Key& k :
         {Key{WM_KEYDOWN, VK_ESCAPE, 0x00010001, true}, Key{WM_KEYDOWN, VK_ESCAPE, 0x00010001},
          Key{WM_SYSKEYDOWN, VK_F4, 0x203E0001}, Key{WM_SYSKEYDOWN, VK_SPACE, 0x20390001}}) {
        const auto attempts = [&] {
            const auto made = ProviderCalls();
            return std::count(made.begin(), made.end(), L"Initialize");
        };
        const auto before = attempts();
        PressOk();
        if (!k.beforeTheLook) {
            ASSERT_TRUE(testing::WaitUntil(
                [&] { return WindowText(form_) == ConnectingCaption(server); }, 10s));
            // The look again in full, not only the caption: it was shown in this sitting before.
            for (const int id : {kIdServer, kIdDatabase, kIdUser, kIdPassword, kIdOk})
                EXPECT_FALSE(IsWindowEnabled(Field(id))) << "control " << id << " live";
        }
        PostMessageW(Field(kIdPassword), k.message, k.key, k.data);
        if (k.key == VK_SPACE) {  // the system menu, then its Close
            ASSERT_TRUE(testing::WaitUntil(
                [] { return IsWindowVisible(FindWindowW(L"#32768", nullptr)) != FALSE; }, 5s));
            PostMessageW(form_, WM_KEYDOWN, 'C', 0x002E0001);
        }
        // Given back once the attempt has begun: the focus on a control again, not on the
        // dialog itself as while busy.
        ASSERT_TRUE(testing::WaitUntil([&] { return attempts() > before; }, 10s));
        EXPECT_TRUE(testing::WaitUntil(
            [&] { return IsChild(form_, FocusIn(form_)) && WindowText(form_) == kCaption; }, 2s))
            << "not given up, " << (k.beforeTheLook ? "before" : "after") << " the look";
    }

    const UniqueWindow elsewhere(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9,
                                                 9, nullptr, nullptr, nullptr, nullptr));
    // Each change handled by the dialog before the next: Wine drops a deactivation that comes
    // to a window already in front again.
    const auto awayAndBack = [&] {
        for (const HWND window : {elsewhere.Get(), form_}) {
            SetForegroundWindow(window);
            ASSERT_TRUE(testing::WaitUntil([&] { return GetForegroundWindow() == window; }, 5s));
            SendMessageTimeoutW(form_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
        }
    };
    // Cancel reached by Tab while busy keeps the focus across a re-activation, and Space on it
    // gives the attempt up.
    PressOk();
    ASSERT_TRUE(
        testing::WaitUntil([&] { return WindowText(form_) == ConnectingCaption(server); }, 10s));
    PostMessageW(form_, WM_KEYDOWN, VK_TAB, 0x000F0001);
    ASSERT_TRUE(testing::WaitUntil([&] { return FocusIn(form_) == Field(kIdCancel); }, 5s));
    awayAndBack();
    EXPECT_EQ(FocusIn(form_), Field(kIdCancel)) << "Cancel lost the focus";
    PostMessageW(Field(kIdCancel), WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageW(Field(kIdCancel), WM_KEYUP, VK_SPACE, 0xC0390001);
    EXPECT_TRUE(testing::WaitUntil([&] { return WindowText(form_) == kCaption; }, 2s))
        << "Space on Cancel did not give the attempt up";

    // Brought to the front again before the look shows (Alt+Tab, a click, a second copy): the
    // focus goes to the dialog, never back to the control it had, and an Esc typed is Cancel.
    // A hook in the dialog's thread tells what had the focus once it had taken the activation,
    // and whether the look had shown by then (the focus would have been moved off a field anyway).
    awayAndBack();  // left with the focus in a control
    const HMODULE hooks = LoadLibraryW((BinFolder() / L"hooks" / L"vantle_font_watch.dll").c_str());
    ASSERT_NE(hooks, nullptr);
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET,
                                         reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                             GetProcAddress(hooks, "ActivationWatchProc"))),
                                         hooks, GetWindowThreadProcessId(form_, nullptr));
    ASSERT_NE(hook, nullptr);
    PressOk();
    ASSERT_TRUE(testing::WaitUntil([&] { return FocusIn(form_) == form_; }, 10s)) << "not busy";
    awayAndBack();
    ASSERT_TRUE(testing::WaitUntil([&] { return !Calls(L"activation").empty(); }, 10s));
    UnhookWindowsHookEx(hook);
    const std::wstring activated = Calls(L"activation").back().commandLine;
    EXPECT_TRUE(activated == L"focus dialog live" ||
                activated == L"focus " + std::to_wstring(kIdCancel) + L" live")
        << testing::ToUtf8Text(activated) << " (greyed: the look came first, nothing to tell by)";
    FreeLibrary(hooks);
    const HWND focus = FocusIn(form_);
    PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    // No question comes, from this attempt or any before it, once they have had time to end.
    EXPECT_EQ(WaitForBox(kRerunTitle, 8s), nullptr) << "an attempt given up asked";
    ExpectDialogUnchanged();
}

TEST_F(InstallTest, SlowToolsKeepTheDialogAliveTakeNoInputAndNameEachTool) {
    // A slow login first: from the probe to the tools the dialog stays busy throughout.
    const std::wstring server = L"SLOW-1000";
    ASSERT_NE(Start({.server = server,
                     .environment = {{L"VANTLE_FAKE_SQLCMD_LOG", std::nullopt},
                                     {L"VANTLE_FAKE_SQLCMD_SLEEP", std::wstring(L"4000")},
                                     {L"VANTLE_FAKE_OSQL_LOG", std::wstring(L"write")},
                                     {L"VANTLE_FAKE_OSQL_SLEEP", std::wstring(L"4000")}}}),
              nullptr);
    PressOk();
    ASSERT_TRUE(
        testing::WaitUntil([&] { return WindowText(form_) == ConnectingCaption(server); }, 20s));
    PokeAtTheDisabledControls(form_);
    const BusyWatch watch = WatchWhileBusy(form_, process_, [&] { return !process_.IsRunning(); });
    EXPECT_GE(watch.samples, 20);
    EXPECT_EQ(watch.unanswered, 0) << "WM_NULL went unanswered for a second: "
                                   << testing::ToUtf8Text(watch.unansweredWhile.front());
    EXPECT_FALSE(watch.reportedHung);
    EXPECT_EQ(watch.captions,
              (std::vector<std::wstring>{ConnectingCaption(server), kRunningSqlcmd, kRunningOsql}));

    DWORD exitCode = 99;
    ASSERT_TRUE(process_.WaitForExit(30s, &exitCode));
    EXPECT_EQ(exitCode, 0u) << "the run ended as it should";
    EXPECT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Calls(L"osql").size(), 1u);
    ASSERT_TRUE(testing::WaitUntil([&] { return !Calls(L"notepad").empty(); }, 20s));
    const auto calls = ProviderCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Initialize"), 1) << "a second run";
    EXPECT_EQ(Calls(L"sqlcmd")[0].args.at(2), server) << "typed text reached a tool";
}

}  // namespace
}  // namespace vantle::e2e
