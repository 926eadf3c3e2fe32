// The real VantleSetup.exe, started with this test's own profile files and driven from
// outside through window messages, as an operator's keyboard and mouse would.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "common/unique_handle_win.h"
#include "dialog/layout.h"
#include "support/design_layout.h"
#include "support/display_dpi_win.h"
#include "support/win_test_support.h"

namespace vantle {
namespace {

using namespace std::chrono_literals;
using testing::BinFolder;
using testing::ChildProcess;
using testing::ClassName;
using testing::DisplayDpi;
using testing::TempDir;
using testing::WaitForTopWindow;
using testing::WindowText;
using testing::WriteBytes;

constexpr auto kStartTimeout = 30s;
constexpr auto kEndTimeout = 15s;

// A machine for one start: a Windows folder with console.ini, an install folder with QVN.ini.
class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        windir_ = root_.Path() / L"Windows";
        install_ = root_.Path() / L"Quill App";
        std::filesystem::create_directories(windir_);
        std::filesystem::create_directories(install_);
        WriteBytes(windir_ / L"console.ini", "[console]\r\nPath=" + install_.string() + "\\\r\n");
        WriteBytes(install_ / L"QVN.ini",
                   "[Database]\r\nServer=SQLHOST\\Q1\r\nDatabase=QuillDB\r\n");
    }

    HWND Start(const std::filesystem::path& exe = BinFolder() / L"VantleSetup.exe") {
        process_ = ChildProcess::Start(exe, L"\"" + exe.wstring() + L"\" ignored /args",
                                       {{L"windir", windir_.wstring()}});
        WaitForInputIdle(process_.Handle(), 30000);
        const HWND form = WaitForTopWindow(process_.Id(), L"Setup Vantle Tables", kStartTimeout);
        if (form == nullptr) ADD_FAILURE() << "the dialog did not appear";
        return form;
    }

    void ExpectEndsNormally() {
        DWORD exitCode = 12345;
        ASSERT_TRUE(process_.WaitForExit(kEndTimeout, &exitCode)) << "the program kept running";
        EXPECT_EQ(exitCode, 0u);
    }

    TempDir root_{L"dlg"};
    std::filesystem::path windir_;
    std::filesystem::path install_;
    ChildProcess process_;
};

// Where `control` stands in the form's client area.
testing::Placement PlacementOf(HWND control, HWND form) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The client area and every control, in window order, against the worked-out pixels.
void ExpectDesignedLayout(HWND form, const testing::PixelDesign& design) {
    SCOPED_TRACE(std::to_string(design.dpi) + " DPI");
    RECT client;
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, design.clientWidth);
    EXPECT_EQ(client.bottom, design.clientHeight);
    std::size_t index = 0;
    for (HWND control = GetWindow(form, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT), ++index) {
        ASSERT_LT(index, design.controls.size()) << "more controls than designed";
        EXPECT_EQ(PlacementOf(control, form), design.controls[index])
            << testing::ToUtf8Text(testing::kDesign[index].name);
    }
    EXPECT_EQ(index, design.controls.size());
}

TEST_F(DialogTest, OpensFilledFromTheProfilesWithTheDesignedLayout) {
    const HWND form = Start();
    ASSERT_NE(form, nullptr);

    EXPECT_EQ(WindowText(GetDlgItem(form, kIdServer)), L"SQLHOST\\Q1");
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdDatabase)), L"QuillDB");
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdUser)), L"quillmar");
    // Readable from outside under Wine only; Windows refuses other processes this text.
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdPassword)), L"8vek3");

    // Captions, kinds and rectangles at 96 DPI, in tab (z) order.
    HWND control = GetWindow(form, GW_CHILD);
    for (const ControlDesign& design : kControls) {
        SCOPED_TRACE(std::to_string(design.id));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetDlgCtrlID(control), design.id);
        const std::wstring windowClass = ClassName(control);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        switch (design.kind) {
            case ControlKind::Label:
                EXPECT_EQ(_wcsicmp(windowClass.c_str(), L"Static"), 0);
                EXPECT_EQ(style & WS_TABSTOP, 0) << "a label must never take the focus";
                EXPECT_EQ(WindowText(control), design.caption);
                break;
            case ControlKind::TextField:
            case ControlKind::PasswordField:
                EXPECT_EQ(_wcsicmp(windowClass.c_str(), L"Edit"), 0);
                EXPECT_NE(style & WS_TABSTOP, 0);
                EXPECT_EQ(SendMessageW(control, EM_GETPASSWORDCHAR, 0, 0),
                          design.kind == ControlKind::PasswordField ? L'*' : 0);
                EXPECT_GE(SendMessageW(control, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE)
                    << "fields have no length limit";
                break;
            case ControlKind::Button:
                EXPECT_EQ(_wcsicmp(windowClass.c_str(), L"Button"), 0);
                EXPECT_EQ(style & BS_DEFPUSHBUTTON, 0) << "no default button: Enter is inert";
                EXPECT_EQ(WindowText(control), design.caption);
                break;
        }
        control = GetWindow(control, GW_HWNDNEXT);
    }
    ExpectDesignedLayout(form, testing::kPixelDesigns[0]);

    // Focus starts in the server field.
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &gui));
    EXPECT_EQ(gui.hwndFocus, GetDlgItem(form, kIdServer));
}

TEST_F(DialogTest, KeepsItsPhysicalSizeAtHigherDpi) {
    for (const testing::PixelDesign& design :
         {testing::kPixelDesigns[1], testing::kPixelDesigns[2]}) {
        const DisplayDpi display(static_cast<DWORD>(design.dpi));
        const HWND form = Start();
        ASSERT_NE(form, nullptr);
        ExpectDesignedLayout(form, design);
        PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
        ExpectEndsNormally();
    }
}

TEST_F(DialogTest, HasAFixedFrameNoTaskbarButtonAndIsCentred) {
    const HWND form = Start();
    ASSERT_NE(form, nullptr);
    const LONG style = GetWindowLongW(form, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(form, GWL_EXSTYLE);
    EXPECT_NE(style & WS_CAPTION, 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(exStyle & WS_EX_DLGMODALFRAME, 0);
    // The taskbar shows unowned windows and WS_EX_APPWINDOW ones: this is neither.
    EXPECT_NE(GetWindow(form, GW_OWNER), nullptr);
    EXPECT_EQ(exStyle & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW), 0);

    RECT frame;
    GetWindowRect(form, &frame);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR((frame.left + frame.right) / 2, screenWidth / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, screenHeight / 2, 1);
}

TEST_F(DialogTest, WithoutConsoleIniTheProfileBesideTheProgramIsUsed) {
    std::filesystem::remove(windir_ / L"console.ini");
    const auto programFolder = root_.Path() / L"Setup Folder";
    std::filesystem::create_directories(programFolder);
    std::filesystem::copy_file(BinFolder() / L"VantleSetup.exe",
                               programFolder / L"VantleSetup.exe");
    WriteBytes(programFolder / L"QVN.ini", "[Database]\r\nServer=BESIDE\r\nDatabase=LocalDB\r\n");

    const HWND form = Start(programFolder / L"VantleSetup.exe");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdServer)), L"BESIDE");
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdDatabase)), L"LocalDB");
}

TEST_F(DialogTest, NoQvnIniLeavesServerAndDatabaseEmpty) {
    std::filesystem::remove(install_ / L"QVN.ini");
    const HWND form = Start();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdServer)), L"");
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdDatabase)), L"");
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdUser)), L"quillmar");
}

TEST_F(DialogTest, EscInAnyFieldEndsTheProgram) {
    for (const int field : {kIdServer, kIdPassword}) {
        const HWND form = Start();
        ASSERT_NE(form, nullptr);
        PostMessageW(GetDlgItem(form, field), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        ExpectEndsNormally();
    }
}

TEST_F(DialogTest, CancelEndsTheProgram) {
    const HWND form = Start();
    ASSERT_NE(form, nullptr);
    PostMessageW(GetDlgItem(form, kIdCancel), BM_CLICK, 0, 0);
    ExpectEndsNormally();
}

TEST_F(DialogTest, TheCloseBoxEndsTheProgram) {
    const HWND form = Start();
    ASSERT_NE(form, nullptr);
    PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectEndsNormally();
}

// The dialog's focus as its own thread sees it.
GUITHREADINFO GuiOf(HWND form) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &gui);
    return gui;
}

TEST_F(DialogTest, TheFocusStaysInThePasswordFieldAcrossDeactivation) {
    const HWND form = Start();
    ASSERT_NE(form, nullptr);
    const HWND password = GetDlgItem(form, kIdPassword);
    PostMessageW(password, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(password, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    ASSERT_TRUE(testing::WaitUntil([&] { return GuiOf(form).hwndFocus == password; }, 10s));

    // Another window, this test's own, takes the foreground, then the dialog gets it back.
    const UniqueWindow other(CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0,
                                             50, 50, nullptr, nullptr, nullptr, nullptr));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        SetForegroundWindow(other.Get());
        ASSERT_TRUE(testing::WaitUntil([&] { return GuiOf(form).hwndActive != form; }, 10s))
            << "the dialog was not deactivated";
        SetForegroundWindow(form);
        ASSERT_TRUE(testing::WaitUntil([&] { return GuiOf(form).hwndActive == form; }, 10s))
            << "the dialog was not activated again";
        // Once a message sent after the activation is answered, the activation was handled.
        SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_BLOCK, 5000, nullptr);
        EXPECT_EQ(GuiOf(form).hwndFocus, password);
    }
}

TEST_F(DialogTest, EnterPressesNothingAndTypedTextStays) {
    const HWND form = Start();
    ASSERT_NE(form, nullptr);
    const HWND server = GetDlgItem(form, kIdServer);
    PostMessageW(server, WM_KEYDOWN, VK_END, 0x014F0001);
    for (const wchar_t c : std::wstring(L"X2")) PostMessageW(server, WM_CHAR, c, 1);
    for (const int field : {kIdServer, kIdDatabase, kIdUser, kIdPassword}) {
        PostMessageW(GetDlgItem(form, field), WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageW(GetDlgItem(form, field), WM_CHAR, L'\r', 0x001C0001);
    }
    // Once a message sent after the keys is answered, the keys have been handled.
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdDatabase)), L"QuillDB");
    EXPECT_FALSE(process_.WaitForExit(500ms));
    EXPECT_EQ(WindowText(server), L"SQLHOST\\Q1X2");
    EXPECT_EQ(WindowText(GetDlgItem(form, kIdUser)), L"quillmar");
    EXPECT_TRUE(IsWindowVisible(form));
}

}  // namespace
}  // namespace vantle
