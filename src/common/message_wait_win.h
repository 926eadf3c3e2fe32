#pragma once

#include <windows.h>

namespace vantle {

// Waits until `object` is signalled while keeping this thread's windows alive: they repaint
// and answer the system (no "Not Responding", no ghost window), but every keystroke and click
// that arrives meanwhile is discarded, so nothing typed while waiting is acted on, then or
// later. Returns early only if the wait itself fails.
void WaitKeepingWindowsAlive(HANDLE object);

// Drops the keyboard and mouse input queued for this thread.
void DiscardPendingInput();

}  // namespace vantle
