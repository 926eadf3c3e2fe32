// The window the bare yardsticks are clicked through, as the program is: one OK button with
// the dialog's control id, whose click runs the yardstick's work on the window's own thread.
#pragma once

#include <windows.h>

#include "dialog/layout.h"

namespace bare {

using OkAction = void (*)(HWND window);

inline OkAction okAction = nullptr;

inline LRESULT CALLBACK OkWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == vantle::kIdOk && HIWORD(wParam) == BN_CLICKED) {
        okAction(window);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

// Shows the window, titled and classed `name`, and pumps its messages until it is destroyed.
inline void RunOkWindow(HINSTANCE instance, const wchar_t* name, OkAction onOk) {
    okAction = onOk;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OkWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowW(name, name, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                      372, 199, nullptr, nullptr, instance, nullptr);
    CreateWindowW(L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 10, 97,
                  25, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(vantle::kIdOk)),
                  instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}

}  // namespace bare
