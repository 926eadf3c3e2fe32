#pragma once

// Drives the real program to OK and beyond from outside, through window messages: the
// dialog, the profiles, message boxes, cmd.exe, child processes and files are all real.
// The database is Wine's own ADO with the stand-in provider registered as SQLOLEDB beneath
// it (tests/standins/fake_provider.cpp), which acts by the server it is given; or, for what
// no provider can make ADO do, the harness with its in-process stand-in database.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dialog/layout.h"
#include "support/standin_calls.h"
#include "support/win_test_support.h"

namespace vantle::e2e {

using namespace std::chrono_literals;

// What a message box shows.
struct BoxContents {
    HWND box = nullptr;
    std::wstring title;
    std::wstring text;
    bool hasIcon = false;
    std::vector<int> buttons;
    int defaultButton = 0;
};
BoxContents ReadMessageBox(HWND box);

// Servers the stand-in provider knows (any other name: the tables are absent).
inline const std::wstring kAbsentServer = L"SQLHOST\\Q1";
inline const std::wstring kPresentServer = L"SQLHOST\\PRESENT";
inline const std::wstring kRefusingServer = L"SQLHOST\\REFUSED";
inline const std::wstring kUnreachableServer = L"UNREACHABLE01";

inline const std::wstring kCaption = L"Setup Vantle Tables";
inline const std::wstring kRunningSqlcmd = L"Setup Vantle Tables - running sqlcmd\u2026";
inline const std::wstring kRunningOsql = L"Setup Vantle Tables - running osql\u2026";
std::wstring ConnectingCaption(const std::wstring& server);

struct Launch {
    std::wstring server = kAbsentServer;  // QVN.ini's; the stand-in provider acts by it
    // Not empty: VantleSetupHarness.exe with this stand-in database (absent, present,
    // login-failure, not-open, no-recordset) in place of ADO.
    std::wstring harnessDatabase;
    std::wstring exe = L"VantleSetup.exe";  // in the build's bin folder, unless a full path
    testing::EnvironmentOverrides environment;
    std::filesystem::path currentFolder;
};

class InstallTest : public ::testing::Test {
  protected:
    void SetUp() override;

    // Starts the program with the test's own console.ini, QVN.ini and TEMP, the stand-in
    // tools first on PATH (sqlcmd writing its log unless told otherwise), and waits for its
    // dialog.
    HWND Start(Launch launch = {});

    void PressOk() { PostMessageW(Field(kIdOk), BM_CLICK, 0, 0); }
    HWND Field(int id) const { return GetDlgItem(form_, id); }
    // An error box over the dialog, titled with the dialog's caption.
    HWND WaitForReport(std::chrono::milliseconds timeout = 30s) const;
    // A box titled `title` over the dialog.
    HWND WaitForBox(const std::wstring& title, std::chrono::milliseconds timeout = 30s) const;
    // Presses OK and reads the error box it ends in; fails the test when none comes.
    BoxContents ReportAfterOk();

    std::vector<testing::StandinCall> Calls(const std::wstring& tool) const {
        return testing::ReadCalls(root_.Path(), tool);
    }
    // What the stand-in provider (or the harness's database) was asked, in order.
    std::vector<std::wstring> ProviderCalls() const { return Events(L"provider"); }
    std::vector<std::wstring> DatabaseCalls() const { return Events(L"database"); }
    // What the harness's process platform saw (VANTLE_FAKE_PLATFORM).
    std::vector<std::wstring> PlatformCalls() const { return Events(L"platform"); }
    std::filesystem::path Log() const { return temp_ / L"TableScriptResults.log"; }

    // The program ends after the script run with its exit code 0; sqlcmd ran once, as
    // planned, osql not at all, and Notepad was started on the log.
    void ExpectScriptRunAndEnd(const std::wstring& server = kAbsentServer);
    // The dialog is up and usable, every field as the profiles filled it.
    void ExpectDialogAsItWas();
    // ... and no tool has run.
    void ExpectDialogUnchanged();
    // Once a question or a report is answered: typing goes where it went before OK, not to the
    // dialog itself (which holds the focus only while busy).
    void ExpectFocusBackOnAControl();

    testing::TempDir root_{L"inst"};
    std::filesystem::path windir_ = root_.Path() / L"Windows";
    std::filesystem::path install_ = root_.Path() / L"Quill";
    std::filesystem::path temp_ = root_.Path() / L"My Temp";
    std::wstring server_;
    testing::ChildProcess process_;
    HWND form_ = nullptr;

  private:
    std::vector<std::wstring> Events(const std::wstring& recorder) const;
};

// Closes a box with its button `id` and waits until it is gone.
void Answer(HWND box, int id);

// What an operator's system sees of the dialog while the program is busy, sampled until
// `done` holds: it must answer at once every time and never count as hung.
struct BusyWatch {
    std::vector<std::wstring> captions;  // each different caption, in the order seen
    int samples = 0;
    int unanswered = 0;
    std::vector<std::wstring> unansweredWhile;
    bool reportedHung = false;
};
BusyWatch WatchWhileBusy(HWND form, const testing::ChildProcess& process,
                         const std::function<bool()>& done, std::chrono::seconds limit = 60s);

// What an operator might do to a busy dialog that must change nothing: Enter and typing in the
// fields, clicking OK with the mouse and by message, greyed or not yet.
void PokeAtTheDisabledControls(HWND form);

// A real click (SendInput), as the operator's mouse gives it, in the middle of `window`.
void ClickWithTheMouse(HWND window);
// The window with the keyboard focus in `window`'s thread.
HWND FocusIn(HWND window);

// The processes a stand-in tool recorded, itself and the cmd.exe that started it, are gone.
bool ProcessGone(unsigned long processId);

}  // namespace vantle::e2e
