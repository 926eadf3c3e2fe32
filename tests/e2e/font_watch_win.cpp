// A WH_CALLWNDPROC hook for the program's dialog thread, loaded into the program by the
// system. Whenever a control is handed a font, it checks in the program's own process that
// the font the control is giving up still exists (a deleted one would be drawn with and
// measured by the control up to this moment) and that the new one does. It tells the test
// through two named events, "VantleFontWatch-<pid>-checked" when a control gave up a live
// font for a live one, and "...-stale" when either was already gone.
#include <windows.h>

#include <string>

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
