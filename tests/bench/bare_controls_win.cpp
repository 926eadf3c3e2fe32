// The fair yardstick for the start-up figure: a bare Win32 program that opens one window with
// the dialog's ten controls, made as the dialog makes them (same classes, styles, captions and
// sizes, the same font), and nothing else. Any program with this window pays for it; what the
// program takes beyond this is its own: the single-instance check, the profile reads, the
// labels' subclassing, laying out again at the window's DPI, centring. Like the program, it
// imports COM but makes no COM call at start.
#include <windows.h>
#include <oleauto.h>

#include "dialog/layout.h"

static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

static HWND CreateControl(HWND parent, HINSTANCE instance, const vantle::ControlDesign& design,
                          int dpi) {
    const wchar_t* windowClass = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (design.kind) {
        case vantle::ControlKind::Label:
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case vantle::ControlKind::TextField:
        case vantle::ControlKind::PasswordField:
            windowClass = L"EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
            if (design.kind == vantle::ControlKind::PasswordField) style |= ES_PASSWORD;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case vantle::ControlKind::Button:
            windowClass = L"BUTTON";
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
    }
    const vantle::PixelRect r = vantle::ToPixels(design.twips, dpi);
    return CreateWindowExW(
        exStyle, windowClass, design.caption, style, r.left, r.top, r.width, r.height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Referenced, so that ole32 and oleaut32 are imported, but not called.
    static void* volatile imports[] = {reinterpret_cast<void*>(&CoInitializeEx),
                                       reinterpret_cast<void*>(&SysAllocStringLen)};
    (void)imports;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = L"BareControls";
    RegisterClassW(&windowClass);
    // The dialog's own frame: a fixed caption and close box around the designed client area.
    constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    constexpr DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, vantle::TwipsToPixels(vantle::kClientWidthTwips, dpi),
               vantle::TwipsToPixels(vantle::kClientHeightTwips, dpi)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const HWND window = CreateWindowExW(
        exStyle, L"BareControls", L"Bare", style, CW_USEDEFAULT, CW_USEDEFAULT,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    for (const vantle::ControlDesign& design : vantle::kControls) {
        const HWND control = CreateControl(window, instance, design, dpi);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    DeleteObject(font);
    return 0;
}
