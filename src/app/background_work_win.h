#pragma once

#include <functional>

namespace vantle {

// Runs `work` on a thread of its own, in a COM apartment of its own, while this thread keeps
// its windows painted and answering (see WaitKeepingWindowsAlive). Anything `work` throws is
// thrown again here, on the caller's thread. Used for the database work, which can block for
// the provider's whole login timeout.
void RunInBackground(const std::function<void()>& work);

}  // namespace vantle
