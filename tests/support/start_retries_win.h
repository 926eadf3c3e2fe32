#pragma once

// Tests that start many processes under a loaded machine: the platform now and then refuses a
// start (Wine's CreateProcess failing with 1359, ERROR_INTERNAL_ERROR) or cmd.exe fails to start
// the tool it was given, which then leaves no record. Neither says anything about the code
// under test, so such a try is repeated, up to three tries in all. Nothing else is repeated:
// a tool that recorded wrong arguments, or any other error, fails the first time.
#include <functional>
#include <optional>

#include "common/error.h"

namespace vantle::testing {

// A refused start: SyncShell's own report of a CreateProcess failure (source "SyncShell", the
// system's error number) whose number says the system was short of something at that moment,
// not that the program or its command line was wrong: 8 ERROR_NOT_ENOUGH_MEMORY, 14
// ERROR_OUTOFMEMORY, 1359 ERROR_INTERNAL_ERROR, 1450 ERROR_NO_SYSTEM_RESOURCES, 1455
// ERROR_COMMITMENT_LIMIT. File not found, access denied, a bad image and the runner's own
// failures (0x8004AA0x) are never retried.
bool IsRefusedStart(const Error& error);

// Counts the repeated tries of one test and reports them when the test ends (printed and
// recorded as the test property "start_retries"), so that a run shows how often it needed them.
class StartRetries {
  public:
    StartRetries() = default;
    StartRetries(const StartRetries&) = delete;
    StartRetries& operator=(const StartRetries&) = delete;
    ~StartRetries();

    // Runs `start` until it completes with `leftRecord()` true (when given), at most three
    // times. A refused start is repeated and, on the third, thrown; any other exception
    // propagates at once. Returns without a record after three tries that left none: the
    // caller's own check of the record then fails.
    void Run(const std::function<void()>& start, const std::function<bool()>& leftRecord = {});

    // Runs `call` as Run does (without a record to look for) and returns the Error it raised,
    // if any: for the tests of a runner's failure paths, where an Error is the expected end.
    std::optional<Error> Catch(const std::function<void()>& call);

    int Count() const { return count_; }

  private:
    int count_ = 0;
};

}  // namespace vantle::testing
