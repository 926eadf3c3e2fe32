#pragma once

#include <windows.h>

#include <functional>

namespace vantle {

// Runs `work` on a thread of its own, in a COM apartment of its own, while this thread keeps
// its windows alive (see WaitKeepingWindowsAlive). Used for the database work, which can
// block for the provider's whole login timeout.
//
// Returns true once the work is over; anything it threw is thrown again here, on the
// caller's thread. Returns false at once when `giveUp` is signalled first: the work then goes
// on by itself until it ends, and what it returns or throws is dropped. So `work` must own
// everything it uses (capture by value, results through a shared pointer), never the
// caller's stack.
bool RunInBackground(std::function<void()> work, HANDLE giveUp = nullptr);

}  // namespace vantle
