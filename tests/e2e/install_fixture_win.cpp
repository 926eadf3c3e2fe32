#include "e2e/install_fixture_win.h"

namespace vantle::e2e {

using testing::BinFolder;
using testing::ChildProcess;
using testing::StandinCall;
using testing::WindowText;
using testing::WriteBytes;

BoxContents ReadMessageBox(HWND box) {
    BoxContents contents;
    contents.box = box;
    contents.title = WindowText(box);
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

std::wstring ConnectingCaption(const std::wstring& server) {
    return kCaption + L" - connecting to " + server + L"\u2026";
}

void InstallTest::SetUp() {
    std::filesystem::create_directories(windir_);
    std::filesystem::create_directories(install_);
    std::filesystem::create_directories(temp_);
    WriteBytes(windir_ / L"console.ini", "[console]\r\nPath=" + install_.string() + "\r\n");
}

HWND InstallTest::Start(Launch launch) {
    server_ = launch.server;
    WriteBytes(install_ / L"QVN.ini",
               "[Database]\r\nServer=" + std::filesystem::path(server_).string() +
                   "\r\nDatabase=QuillDB\r\n");
    const std::filesystem::path exe =
        launch.harnessDatabase.empty()
            ? (std::filesystem::path(launch.exe).is_absolute() ? std::filesystem::path(launch.exe)
                                                               : BinFolder() / launch.exe)
            : BinFolder() / L"VantleSetupHarness.exe";
    wchar_t path[32767];
    GetEnvironmentVariableW(L"PATH", path, 32767);
    testing::EnvironmentOverrides environment{
        {L"windir", windir_.wstring()},
        {L"TEMP", temp_.wstring()},
        {L"PATH", testing::StandinFolder().wstring() + L";" + path},
        {L"VANTLE_FAKE_RECORD_DIR", root_.Win()},
        {L"VANTLE_FAKE_DB", launch.harnessDatabase},
        {L"VANTLE_FAKE_SQLCMD_LOG", std::wstring(L"write")}};
    for (auto& [name, value] : launch.environment) environment[name] = value;
    process_ =
        ChildProcess::Start(exe, L"\"" + exe.wstring() + L"\"", environment, launch.currentFolder);
    form_ = testing::WaitForTopWindow(process_.Id(), kCaption, 30s);
    if (form_ == nullptr) ADD_FAILURE() << "the dialog did not appear";
    return form_;
}

HWND InstallTest::WaitForReport(std::chrono::milliseconds timeout) const {
    return WaitForBox(kCaption, timeout);
}

HWND InstallTest::WaitForBox(const std::wstring& title, std::chrono::milliseconds timeout) const {
    return testing::WaitForMessageBox(process_.Id(), title, timeout);
}

BoxContents InstallTest::ReportAfterOk() {
    PressOk();
    const HWND box = WaitForReport();
    if (box == nullptr) {
        ADD_FAILURE() << "no report";
        return {};
    }
    return ReadMessageBox(box);
}

std::vector<std::wstring> InstallTest::Events(const std::wstring& recorder) const {
    std::vector<std::wstring> events;
    for (const StandinCall& call : Calls(recorder)) events.push_back(call.commandLine);
    return events;
}

void InstallTest::ExpectScriptRunAndEnd(const std::wstring& server) {
    DWORD exitCode = 99;
    ASSERT_TRUE(process_.WaitForExit(60s, &exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
    const auto sqlcmd = Calls(L"sqlcmd");
    ASSERT_EQ(sqlcmd.size(), 1u);
    const std::vector<std::wstring> args(sqlcmd[0].args.begin() + 1, sqlcmd[0].args.end());
    EXPECT_EQ(args, (std::vector<std::wstring>{L"-S", server, L"-U", L"quillmar", L"-d", L"QuillDB",
                                               L"-i", (BinFolder() / L"TableScripts.sql").wstring(),
                                               L"-o", Log().wstring()}));
    EXPECT_EQ(sqlcmd[0].sqlcmdPassword, L"8vek3");
    EXPECT_EQ(sqlcmd[0].currentFolder, BinFolder().wstring());
    EXPECT_TRUE(Calls(L"osql").empty()) << "sqlcmd wrote the log: no fallback";
    // Notepad is started through "start" and may record a moment later.
    ASSERT_TRUE(testing::WaitUntil([&] { return !Calls(L"notepad").empty(); }, 20s));
    const StandinCall notepad = Calls(L"notepad")[0];
    EXPECT_EQ(notepad.args.at(1), Log().wstring());
    EXPECT_FALSE(notepad.sqlcmdPassword.has_value()) << "Notepad inherits no password";
    EXPECT_FALSE(notepad.osqlPassword.has_value());
    EXPECT_EQ(notepad.currentFolder, BinFolder().wstring());
}

void InstallTest::ExpectDialogAsItWas() {
    EXPECT_TRUE(process_.IsRunning());
    EXPECT_TRUE(IsWindowVisible(form_));
    EXPECT_TRUE(IsWindowEnabled(form_));
    EXPECT_EQ(WindowText(form_), kCaption);
    for (const int id : {kIdServer, kIdDatabase, kIdUser, kIdPassword, kIdOk, kIdCancel})
        EXPECT_TRUE(IsWindowEnabled(Field(id))) << "control " << id << " left disabled";
    EXPECT_EQ(WindowText(Field(kIdServer)), server_);
    EXPECT_EQ(WindowText(Field(kIdDatabase)), L"QuillDB");
    EXPECT_EQ(WindowText(Field(kIdUser)), L"quillmar");
    EXPECT_EQ(WindowText(Field(kIdPassword)), L"8vek3");
}

void InstallTest::ExpectFocusBackOnAControl() {
    EXPECT_TRUE(testing::WaitUntil([&] { return IsChild(form_, FocusIn(form_)) != FALSE; }, 5s))
        << "the focus is not back on a control";
}

void InstallTest::ExpectDialogUnchanged() {
    ExpectDialogAsItWas();
    EXPECT_TRUE(Calls(L"sqlcmd").empty());
    EXPECT_TRUE(Calls(L"osql").empty());
    EXPECT_TRUE(Calls(L"notepad").empty());
}

void Answer(HWND box, int id) {
    PostMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0);
    ASSERT_TRUE(testing::WaitUntil([&] { return !IsWindow(box); }, 20s));
}

BusyWatch WatchWhileBusy(HWND form, const ChildProcess& process, const std::function<bool()>& done,
                         std::chrono::seconds limit) {
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

void PokeAtTheDisabledControls(HWND form) {
    const HWND server = GetDlgItem(form, kIdServer);
    const HWND ok = GetDlgItem(form, kIdOk);
    PostMessageW(server, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(server, WM_CHAR, L'\r', 0x001C0001);
    PostMessageW(server, WM_CHAR, L'Z', 0x002C0001);
    PostMessageW(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(ok, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageW(ok, BM_CLICK, 0, 0);
}

void ClickWithTheMouse(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    SetCursorPos(x, y);
    // Each event carries its own place: a pointer motion still on its way back from the X
    // server could otherwise put the click where the pointer was before.
    INPUT click[2]{};
    for (INPUT& event : click) {
        event.type = INPUT_MOUSE;
        event.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        event.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    click[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
}

HWND FocusIn(HWND window) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui);
    return gui.hwndFocus;
}

bool ProcessGone(unsigned long processId) {
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    return !process || WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
}

}  // namespace vantle::e2e
