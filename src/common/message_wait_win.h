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
// hand even to a disabled control. Everything else typed or clicked meanwhile is dropped,
// then and later.
WaitResult WaitKeepingWindowsAlive(HANDLE object, HANDLE interrupt = nullptr);

// Drops the keyboard and mouse input queued for this thread.
void DiscardPendingInput();

}  // namespace vantle
