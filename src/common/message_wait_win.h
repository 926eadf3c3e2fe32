#pragma once

#include <windows.h>

namespace vantle {

enum class WaitResult {
    Signalled,    // the object was signalled (first, when both were)
    Interrupted,  // the interrupt was signalled while the object was not
    Failed,       // the wait itself failed
};

// Waits until `object` is signalled, or `interrupt` (when given) is, while keeping this
// thread's windows alive: they repaint and answer the system (no "Not Responding", no ghost
// window). Keystrokes and clicks reach only windows that are enabled, together with every
// window above them, through the dialog manager of their top-level window: the way Windows
// delivers real input, but also for input posted by other programs, which Windows would
// hand even to a disabled control. A top-level window may also hold input back while it
// is enabled (see InputHeldQuery). Everything else typed or clicked meanwhile is dropped,
// then and later.
WaitResult WaitKeepingWindowsAlive(HANDLE object, HANDLE interrupt = nullptr);

// The message WaitKeepingWindowsAlive sends an enabled top-level window before handing it, or a
// window inside it, a keystroke or a click (lParam: the MSG), whether the window addressed takes
// input or not. A nonzero answer drops that input: a window can refuse input without being
// disabled, which would show, and can act on a key itself (by posting it again to a window that
// takes it). DefWindowProc answers 0.
UINT InputHeldQuery();

// Delivers what is already queued for this thread as it is called, as WaitKeepingWindowsAlive
// would, and returns once that is done, however many messages keep coming: a wait that ended
// when its object was signalled can leave input behind that came before the end was seen.
void DeliverQueuedMessages();

// Drops the keyboard and mouse input queued for this thread.
void DiscardPendingInput();

}  // namespace vantle
