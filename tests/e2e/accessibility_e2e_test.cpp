// The real VantleSetup.exe in the operator's own colour scheme, read back from the screen's
// pixels (every label must stand out from the dialog's face), and across a change of DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/unique_handle_win.h"
#include "dialog/layout.h"
#include "support/screen_win.h"
#include "support/win_test_support.h"

namespace vantle {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::TempDir;
using testing::WaitForTopWindow;
using testing::WaitUntil;
using testing::WriteBytes;

constexpr std::array<int, 4> kLabelIds{kIdLblServer, kIdLblDatabase, kIdLabel1, kIdLabel2};

// How far apart two colours are: the largest difference in any one channel.
int Distance(COLORREF a, COLORREF b) {
    return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                     std::abs(GetBValue(a) - GetBValue(b))});
}

// What one label shows on the screen: its most frequent colour (the background) and how many
// of its pixels are far from the colour it should be drawn on.
struct LabelOnScreen {
    COLORREF background = 0;
    int farFromFace = 0;
    COLORREF farthest = 0;  // the pixel farthest from the face
};

LabelOnScreen ReadLabel(HWND label, COLORREF face) {
    RECT client;
    GetClientRect(label, &client);  // the rows a field covers are not the label's to paint
    MapWindowPoints(label, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    std::map<COLORREF, int> counts;
    LabelOnScreen seen;
    for (const COLORREF pixel : testing::ScreenPixels(client).All()) {
        ++counts[pixel];
        if (Distance(pixel, face) >= 128) ++seen.farFromFace;
        if (Distance(pixel, face) > Distance(seen.farthest, face)) seen.farthest = pixel;
    }
    seen.background =
        std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    return seen;
}

std::string Rgb(COLORREF c) {
    return std::to_string(GetRValue(c)) + " " + std::to_string(GetGValue(c)) + " " +
           std::to_string(GetBValue(c));
}

// A colour scheme for the programs started while this object lives, in the form the Control
// Panel keeps it ("R G B" under HKCU\Control Panel\Colors); the earlier values come back
// afterwards, since every later test shares the prefix. This process keeps the colours it
// read at its own start.
class ColourScheme {
  public:
    explicit ColourScheme(const std::map<std::wstring, COLORREF>& colours) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Colors", 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
        for (const auto& [name, colour] : colours) {
            wchar_t old[64];
            DWORD size = sizeof old;
            DWORD type = 0;
            if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(old),
                                 &size) == ERROR_SUCCESS &&
                type == REG_SZ) {
                old_[name] = std::wstring(old, size / sizeof(wchar_t)).c_str();
            } else {
                old_[name] = std::nullopt;
            }
            const std::string rgb = Rgb(colour);
            Set(name, std::wstring(rgb.begin(), rgb.end()));
        }
    }
    ColourScheme(const ColourScheme&) = delete;
    ColourScheme& operator=(const ColourScheme&) = delete;
    ~ColourScheme() {
        for (const auto& [name, value] : old_) Set(name, value);
        RegCloseKey(key_);
    }

  private:
    void Set(const std::wstring& name, const std::optional<std::wstring>& value) {
        if (!value) {
            RegDeleteValueW(key_, name.c_str());
            return;
        }
        RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                       static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    }

    HKEY key_ = nullptr;
    std::map<std::wstring, std::optional<std::wstring>> old_;
};

// One rectangle at the same address in this process and in `process`: WM_DPICHANGED's lParam
// points to it whether or not the system copies the rectangle across (Wine 8 does not).
// Tried at addresses far above what either process has allocated so far: a 32-bit process
// has only 2 GB, where the range between its heaps and the system DLLs is free.
#if defined(_WIN64)
constexpr std::uintptr_t kFarAddresses[] = {0x200000000000, 0x210000000000};
#else
constexpr std::uintptr_t kFarAddresses[] = {0x50000000, 0x70000000};
#endif
class RectInBoth {
  public:
    RectInBoth(HANDLE process, const RECT& rect) : process_(process) {
        for (std::uintptr_t candidate = kFarAddresses[0]; candidate < kFarAddresses[1];
             candidate += 0x10000000) {
            void* wanted = reinterpret_cast<void*>(candidate);
            void* local =
                VirtualAlloc(wanted, sizeof rect, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
            if (local != wanted) continue;
            void* remote = VirtualAllocEx(process, wanted, sizeof rect, MEM_RESERVE | MEM_COMMIT,
                                          PAGE_READWRITE);
            if (remote == wanted &&
                WriteProcessMemory(process, remote, &rect, sizeof rect, nullptr)) {
                *static_cast<RECT*>(local) = rect;
                address_ = wanted;
                return;
            }
            if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
            VirtualFree(local, 0, MEM_RELEASE);
        }
    }
    RectInBoth(const RectInBoth&) = delete;
    RectInBoth& operator=(const RectInBoth&) = delete;
    ~RectInBoth() {
        if (address_ == nullptr) return;
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        VirtualFree(address_, 0, MEM_RELEASE);
    }
    LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }

  private:
    HANDLE process_;
    void* address_ = nullptr;
};

// A named event the font watch in the program sets (see font_watch_win.cpp).
UniqueHandle FontWatchEvent(DWORD processId, const wchar_t* what) {
    const std::wstring name = L"VantleFontWatch-" + std::to_wstring(processId) + L"-" + what;
    return UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
}

class AccessibilityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto windir = root_.Path() / L"Windows";
        const auto install = root_.Path() / L"Quill";
        std::filesystem::create_directories(windir);
        std::filesystem::create_directories(install);
        WriteBytes(windir / L"console.ini", "[console]\r\nPath=" + install.string() + "\r\n");
        WriteBytes(install / L"QVN.ini",
                   "[Database]\r\nServer=SQLHOST\\Q1\r\nDatabase=QuillDB\r\n");
        env_ = {{L"windir", windir.wstring()}};
    }

    // Starts the program in front of everything and returns its dialog once it is painted.
    HWND StartPainted() {
        const HWND form =
            testing::StartInFront(process_, testing::BinFolder() / L"VantleSetup.exe", env_);
        if (form != nullptr) WaitUntilPainted(form);
        return form;
    }

    // An answer to a sent message, nothing left to paint, then labels that stay as they are.
    static void WaitUntilPainted(HWND form) {
        testing::WaitUntilNothingToPaint(form);
        WaitUntil(
            [form] {
                RECT area;
                GetWindowRect(form, &area);
                const testing::ScreenPixels before(area);
                Sleep(150);
                return testing::ScreenPixels(area) == before;
            },
            5s);
    }

    // Each label on the face colour, its text far from it and drawn in `text`.
    void ExpectLegibleLabels(COLORREF face, COLORREF text) {
        const HWND form = StartPainted();
        ASSERT_NE(form, nullptr) << "the dialog did not appear";
        for (const int id : kLabelIds) {
            SCOPED_TRACE("label " + std::to_string(id));
            const LabelOnScreen seen = ReadLabel(GetDlgItem(form, id), face);
            EXPECT_EQ(Rgb(seen.background), Rgb(face)) << "the label is not on the face";
            // A word of a few letters at the message font's size has well over 20 pixels of
            // its strokes in the text colour; text in the face colour has none.
            EXPECT_GE(seen.farFromFace, 20) << "the text does not stand out from the face";
            EXPECT_LE(Distance(seen.farthest, text), 64)
                << "text drawn in " << Rgb(seen.farthest) << ", not in " << Rgb(text);
        }
        PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(process_.WaitForExit(15s));
    }

    TempDir root_{L"a11y"};
    testing::EnvironmentOverrides env_;
    ChildProcess process_;
};

TEST_F(AccessibilityTest, LabelsStandOutInTheOrdinaryAndInAHighContrastScheme) {
    {
        SCOPED_TRACE("ordinary scheme");
        ExpectLegibleLabels(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT));
    }
    SCOPED_TRACE("high contrast: white on black");
    // The fields' text colour differs from the buttons', so a label drawn in the wrong one of
    // the two is caught as well.
    const ColourScheme scheme({{L"ButtonFace", RGB(0, 0, 0)},
                               {L"ButtonText", RGB(255, 255, 255)},
                               {L"WindowText", RGB(255, 255, 0)},
                               {L"Window", RGB(0, 0, 0)}});
    ExpectLegibleLabels(RGB(0, 0, 0), RGB(255, 255, 255));
}

TEST_F(AccessibilityTest, ADpiChangeHandsEveryControlItsNewFontBeforeTheOldOneGoes) {
    // Wine never sends WM_DPICHANGED; the test sends what Windows would on a move to a
    // 144 DPI monitor, with a watch in the program's dialog thread on every font handed over.
    const HWND form = StartPainted();
    ASSERT_NE(form, nullptr) << "the dialog did not appear";
    const UniqueHandle checked = FontWatchEvent(process_.Id(), L"checked");
    const UniqueHandle stale = FontWatchEvent(process_.Id(), L"stale");
    const auto watchDll = testing::BinFolder() / L"hooks" / L"vantle_font_watch.dll";
    const HMODULE watch = LoadLibraryW(watchDll.c_str());
    ASSERT_NE(watch, nullptr);
    const auto watchProc =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(watch, "FontWatchProc")));
    ASSERT_NE(watchProc, nullptr);
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watchProc, watch,
                                         GetWindowThreadProcessId(form, nullptr));
    ASSERT_NE(hook, nullptr) << GetLastError();

    // The dialog keeps its physical size: one and a half times its pixels at 96 DPI.
    RECT frame;
    GetWindowRect(form, &frame);
    const RECT suggested{frame.left, frame.top, frame.left + (frame.right - frame.left) * 3 / 2,
                         frame.top + (frame.bottom - frame.top) * 3 / 2};
    const RectInBoth shared(process_.Handle(), suggested);
    ASSERT_NE(shared.Address(), 0);
    DWORD_PTR ignored = 0;
    ASSERT_NE(SendMessageTimeoutW(form, WM_DPICHANGED, MAKEWPARAM(144, 144), shared.Address(),
                                  SMTO_BLOCK, 10000, &ignored),
              0);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(WaitForSingleObject(checked.Get(), 0), WAIT_OBJECT_0)
        << "no control was seen giving up a font for another";
    EXPECT_EQ(WaitForSingleObject(stale.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a control still held a deleted font when it was handed the new one";
    RECT moved;
    GetWindowRect(form, &moved);
    EXPECT_EQ(moved.right - moved.left, suggested.right - suggested.left);
    EXPECT_TRUE(process_.IsRunning());
    PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(process_.WaitForExit(15s));
    FreeLibrary(watch);
}

}  // namespace
}  // namespace vantle
