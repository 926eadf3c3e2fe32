// Window hooks for the program's dialog thread, loaded into the program by the system.
//
// FontWatchProc (WH_CALLWNDPROC): whenever a control is handed a font, it checks in the
// program's own process that the font the control is giving up still exists (a deleted one
// would be drawn with and measured by the control up to this moment) and that the new one does.
// It tells the test through two named events, "VantleFontWatch-<pid>-checked" when a control
// gave up a live font for a live one, and "...-stale" when either was already gone.
//
// ActivationWatchProc (WH_CALLWNDPROCRET): once the dialog has handled its activation, what has
// the focus at that moment and whether the fields are greyed, recorded in
// %VANTLE_FAKE_RECORD_DIR%\activation.calls as "focus <dialog|control id> <live|greyed>".
#include <windows.h>

#include <string>

#include "standins/record_win.h"

namespace {

void Signal(const wchar_t* what) {
    const std::wstring name =
        L"VantleFontWatch-" + std::to_wstring(GetCurrentProcessId()) + L"-" + what;
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
    if (event == nullptr) return;
    SetEvent(event);
    CloseHandle(event);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    FontWatchProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == WM_SETFONT && sent->wParam != 0) {
            // The hook runs before the control's own procedure: WM_GETFONT still answers with
            // the font being replaced.
            const auto current =
                reinterpret_cast<HGDIOBJ>(SendMessageW(sent->hwnd, WM_GETFONT, 0, 0));
            const bool newLive = GetObjectType(reinterpret_cast<HGDIOBJ>(sent->wParam)) == OBJ_FONT;
            if (current != nullptr) {
                Signal(newLive && GetObjectType(current) == OBJ_FONT ? L"checked" : L"stale");
            } else if (!newLive) {
                Signal(L"stale");
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ActivationWatchProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* handled = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        wchar_t windowClass[64] = {};
        GetClassNameW(handled->hwnd, windowClass, 64);
        if (handled->message == WM_ACTIVATE && LOWORD(handled->wParam) != WA_INACTIVE &&
            std::wstring(windowClass) == L"VantleSetupForm1") {
            const HWND focus = GetFocus();
            const bool greyed = IsWindowEnabled(GetDlgItem(handled->hwnd, 101)) == FALSE;
            vantle::testing::AppendRecord(
                L"activation", L"focus " +
                                   (focus == handled->hwnd ? std::wstring(L"dialog")
                                                           : std::to_wstring(GetDlgCtrlID(focus))) +
                                   (greyed ? L" greyed" : L" live"));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
