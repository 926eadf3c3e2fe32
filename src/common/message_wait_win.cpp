#include "common/message_wait_win.h"

namespace vantle {
namespace {

bool IsUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
           message == WM_NCMOUSEHOVER || message == WM_NCMOUSELEAVE;
}

// A disabled window, or one inside a disabled window, takes no input.
bool TakesInput(HWND window) {
    if (window == nullptr) return false;
    for (HWND w = window; w != nullptr; w = GetAncestor(w, GA_PARENT)) {
        if (w == GetDesktopWindow()) break;
        if (!IsWindowEnabled(w) || !IsWindowVisible(w)) return false;
    }
    return true;
}

void DeliverInput(MSG& message) {
    const HWND top = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (!TakesInput(top)) return;
    // Asked before the window addressed is looked at: the top-level window may take a key as
    // its own whatever control it was typed into, a disabled one included.
    if (SendMessageW(top, InputHeldQuery(), 0, reinterpret_cast<LPARAM>(&message)) != 0) return;
    if (!TakesInput(message.hwnd)) return;
    // Esc, Tab and the buttons' keys, as the dialog's own message loop has them.
    if (IsDialogMessageW(top, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

// What is queued for this thread as the call begins, delivered as WaitKeepingWindowsAlive
// delivers it, including what the windows post again meanwhile (a key taken as the dialog's own)
// while it is still the same moment. A steady stream of messages cannot hold the caller: the
// first one posted after the call began is the last one delivered, the rest wait for the next
// call. (A message's time is when it was posted or typed; a timer's or a repaint's, when it is
// taken, and those come last.)
void DeliverQueued(bool& quit, int& quitCode) {
    const DWORD began = GetTickCount();
    MSG message;
    // PeekMessage also delivers the messages other threads send (WM_NULL and the like).
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        const bool later = static_cast<LONG>(message.time - began) > 0;
        if (message.message == WM_QUIT) {
            quit = true;  // not ours to act on here: handed back once the wait is over
            quitCode = static_cast<int>(message.wParam);
        } else if (IsUserInput(message.message)) {
            DeliverInput(message);
        } else {
            DispatchMessageW(&message);
        }
        if (later) break;
    }
}

}  // namespace

UINT InputHeldQuery() {
    // Registered, so that no window of another kind can mistake it for one of its own.
    static const UINT query = RegisterWindowMessageW(L"VantleInputHeld");
    return query;
}

void DiscardPendingInput() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
    }
}

void DeliverQueuedMessages() {
    bool quit = false;
    int quitCode = 0;
    DeliverQueued(quit, quitCode);
    if (quit) PostQuitMessage(quitCode);
}

WaitResult WaitKeepingWindowsAlive(HANDLE object, HANDLE interrupt) {
    const HANDLE handles[] = {object, interrupt};
    const DWORD count = interrupt != nullptr ? 2 : 1;
    bool quit = false;
    int quitCode = 0;
    WaitResult result = WaitResult::Failed;
    for (;;) {
        // MWMO_INPUTAVAILABLE: also wake for messages that were already queued when the wait
        // began, not only for new ones. With both signalled, or with input still queued, the
        // lower index is reported: the object's end is seen first, and what was typed as it
        // ended is for the caller to read (DeliverQueuedMessages) before acting on it.
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(count, handles, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) {
            result = WaitResult::Signalled;
            break;
        }
        if (count == 2 && woken == WAIT_OBJECT_0 + 1) {
            result = WaitResult::Interrupted;
            break;
        }
        if (woken != WAIT_OBJECT_0 + count) break;  // the wait failed
        DeliverQueued(quit, quitCode);
    }
    if (quit) PostQuitMessage(quitCode);
    return result;
}

}  // namespace vantle
