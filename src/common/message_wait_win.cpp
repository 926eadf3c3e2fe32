#include "common/message_wait_win.h"

namespace vantle {
namespace {

bool IsUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
           message == WM_NCMOUSEHOVER || message == WM_NCMOUSELEAVE;
}

}  // namespace

void DiscardPendingInput() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
    }
}

void WaitKeepingWindowsAlive(HANDLE object) {
    bool quit = false;
    int quitCode = 0;
    for (;;) {
        // MWMO_INPUTAVAILABLE: also wake for messages that were already queued when the wait
        // began, not only for new ones.
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(1, &object, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_OBJECT_0 + 1) break;  // signalled, or the wait failed
        MSG message;
        // PeekMessage also delivers the messages other threads send (WM_NULL and the like).
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;  // not ours to act on here: handed back once the wait is over
                quitCode = static_cast<int>(message.wParam);
                continue;
            }
            if (IsUserInput(message.message)) continue;
            DispatchMessageW(&message);
        }
    }
    if (quit) PostQuitMessage(quitCode);
}

}  // namespace vantle
