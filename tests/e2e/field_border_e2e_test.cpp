// What the real VantleSetup.exe actually puts on the screen around its fields, read back from
// the screen's pixels: each label's rectangle reaches into the field below it, so a label that
// paints its whole rectangle breaks that field's frame.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "dialog/layout.h"
#include "support/display_dpi_win.h"
#include "support/screen_win.h"
#include "support/win_test_support.h"

namespace vantle {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::DisplayDpi;
using testing::ScreenPixels;
using testing::TempDir;
using testing::WaitForTopWindow;
using testing::WaitUntil;
using testing::WriteBytes;

struct Side {
    const char* name;
    POINT from;  // screen coordinates of the first pixel
    POINT step;  // towards the next one
    int length;
};

// The outermost row or column on each side of `window`'s frame.
std::vector<Side> OuterFrame(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    return {{"top", {r.left, r.top}, {1, 0}, width},
            {"bottom", {r.left, r.bottom - 1}, {1, 0}, width},
            {"left", {r.left, r.top}, {0, 1}, height},
            {"right", {r.right - 1, r.top}, {0, 1}, height}};
}

std::string Hex(COLORREF colour) {
    std::ostringstream text;
    text << std::hex << "#" << static_cast<int>(GetRValue(colour)) << "/"
         << static_cast<int>(GetGValue(colour)) << "/" << static_cast<int>(GetBValue(colour));
    return text.str();
}

// Where a side is not drawn as one line in the edge colour: pixels showing the dialog's face
// (something painted over the frame) or a colour other than the rest of the line.
std::string BreaksIn(const ScreenPixels& screen, const Side& side, COLORREF face) {
    // The ends belong to the neighbouring sides as well, so the line's own colour is taken
    // from its middle.
    const COLORREF line = screen.At(side.from.x + side.step.x * (side.length / 2),
                                    side.from.y + side.step.y * (side.length / 2));
    int faceCount = 0;
    int otherCount = 0;
    int firstBreak = -1;
    for (int i = 0; i < side.length; ++i) {
        const COLORREF pixel =
            screen.At(side.from.x + side.step.x * i, side.from.y + side.step.y * i);
        const bool isEnd = i == 0 || i == side.length - 1;
        const bool showsFace = pixel == face;
        const bool breaksLine = !isEnd && pixel != line;
        if (showsFace) ++faceCount;
        if (!showsFace && breaksLine) ++otherCount;
        if ((showsFace || breaksLine) && firstBreak < 0) firstBreak = i;
    }
    if (faceCount == 0 && otherCount == 0 && line != face) return {};
    std::ostringstream text;
    text << side.name << ": line " << Hex(line) << ", " << faceCount << " pixels of the face "
         << Hex(face) << ", " << otherCount << " of another colour, first at " << firstBreak
         << " of " << side.length;
    return text.str();
}

constexpr std::array<int, 4> kFieldIds{kIdServer, kIdDatabase, kIdUser, kIdPassword};

class FieldBorderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto windir = root_.Path() / L"Windows";
        const auto install = root_.Path() / L"Quill App";
        std::filesystem::create_directories(windir);
        std::filesystem::create_directories(install);
        WriteBytes(windir / L"console.ini", "[console]\r\nPath=" + install.string() + "\\\r\n");
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

    // Nothing left to paint, and then the frames on the screen settled (the caret blinks
    // inside a field, never on a frame).
    static void WaitUntilPainted(HWND form) {
        testing::WaitUntilNothingToPaint(form);
        WaitUntil(
            [form] {
                const std::string before = FramesOnScreen(form);
                Sleep(150);
                return FramesOnScreen(form) == before;
            },
            5s);
    }

    static std::string FramesOnScreen(HWND form) {
        RECT area;
        GetWindowRect(form, &area);
        const ScreenPixels screen(area);
        std::string pixels;
        for (const int id : kFieldIds) {
            for (const Side& side : OuterFrame(GetDlgItem(form, id))) {
                for (int i = 0; i < side.length; ++i) {
                    const COLORREF c =
                        screen.At(side.from.x + side.step.x * i, side.from.y + side.step.y * i);
                    pixels.append(reinterpret_cast<const char*>(&c), sizeof c);
                }
            }
        }
        return pixels;
    }

    // Every field's frame on the screen is whole on all four sides.
    static void ExpectWholeFrames(HWND form, const char* when) {
        RECT area;
        GetWindowRect(form, &area);
        const ScreenPixels screen(area);
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        // Proof that the screen shows the dialog: its client area starts with the face.
        POINT inside{1, 1};
        ClientToScreen(form, &inside);
        ASSERT_EQ(Hex(screen.At(inside.x, inside.y)), Hex(face)) << when;
        for (const int id : kFieldIds) {
            const HWND field = GetDlgItem(form, id);
            for (const Side& side : OuterFrame(field)) {
                EXPECT_EQ(BreaksIn(screen, side, face), "") << when << ", field " << id;
            }
        }
    }

    TempDir root_{L"frm"};
    testing::EnvironmentOverrides env_;
    ChildProcess process_;
};

// Where `control` stands in the form's client area.
PixelRect PlacementOf(HWND control, HWND form) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&r), 2);
    return PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TEST_F(FieldBorderTest, EveryFieldFrameIsWholeOnTheScreenAt96_120And144Dpi) {
    for (const int dpi : {96, 120, 144}) {
        SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
        const DisplayDpi display(static_cast<DWORD>(dpi));
        const HWND form = StartPainted();
        ASSERT_NE(form, nullptr) << "the dialog did not appear";

        ExpectWholeFrames(form, "first paint");
        // A label repaints alone whenever something uncovers or changes it alone.
        for (const ControlDesign& design : kControls) {
            if (design.kind != ControlKind::Label) continue;
            RedrawWindow(GetDlgItem(form, design.id), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
        }
        WaitUntilPainted(form);
        ExpectWholeFrames(form, "labels repainted");

        // Each label keeps its designed rectangle and stands just before its field in the
        // window order, which is how a screen reader names the field.
        for (size_t i = 0; i < kControls.size(); ++i) {
            if (kControls[i].kind != ControlKind::Label) continue;
            const HWND label = GetDlgItem(form, kControls[i].id);
            EXPECT_EQ(PlacementOf(label, form), ToPixels(kControls[i].twips, dpi));
            EXPECT_EQ(GetWindow(label, GW_HWNDNEXT), GetDlgItem(form, kControls[i + 1].id));
        }
        PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(process_.WaitForExit(15s));
    }
}

}  // namespace
}  // namespace vantle
