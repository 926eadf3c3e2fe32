// The yardstick for the start-up figure: a bare Win32 program that opens one empty window,
// with the program's manifest and the same system DLLs imported (so the loader does the same
// work) and a font for the window, so the ratio measures only what the program adds. Like the
// program, it makes no COM call at start: the program uses COM only on a worker after OK.
#include <windows.h>
#include <oleauto.h>

static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
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

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"BareWindow";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowW(L"BareWindow", L"Bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 372, 199, nullptr, nullptr, instance, nullptr);
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    DeleteObject(font);
    return 0;
}
