// The retry rule of the process-heavy tests: only a refused start or a missing record is tried
// again, never a wrong result.
#include "support/start_retries_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "process/process_runner.h"

namespace vantle::testing {
namespace {

Error SyncShellError(std::int32_t number) {
    return Error(number, kSyncShellSource, L"text");
}

TEST(StartRetries, RepeatsARefusedStartUpToThreeTriesAndCountsEachRepeat) {
    StartRetries retries;
    int tries = 0;
    retries.Run([&] {
        if (++tries < 3) throw SyncShellError(ERROR_INTERNAL_ERROR);
    });
    EXPECT_EQ(tries, 3);
    EXPECT_EQ(retries.Count(), 2);

    tries = 0;
    const auto error = retries.Catch([&] {
        ++tries;
        throw SyncShellError(ERROR_NO_SYSTEM_RESOURCES);
    });
    EXPECT_EQ(tries, 3) << "refused three times: the value fails";
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Number(), ERROR_NO_SYSTEM_RESOURCES);
    EXPECT_EQ(retries.Count(), 4);
}

TEST(StartRetries, RepeatsAToolThatLeftNoRecordButNotOneThatRecordedAnything) {
    StartRetries retries;
    int tries = 0;
    retries.Run([&] { ++tries; }, [&] { return tries == 2; });
    EXPECT_EQ(tries, 2);
    tries = 0;
    retries.Run([&] { ++tries; }, [] { return false; });
    EXPECT_EQ(tries, 3) << "no record three times: the caller's check of it fails";
    tries = 0;
    retries.Run([&] { ++tries; }, [] { return true; });
    EXPECT_EQ(tries, 1) << "a record, right or wrong, is checked at once";
    EXPECT_EQ(retries.Count(), 3);
}

TEST(StartRetries, EveryOtherErrorEndsTheFirstTry) {
    for (const Error& error :
         {SyncShellError(ERROR_FILE_NOT_FOUND), SyncShellError(ERROR_ACCESS_DENIED),
          SyncShellError(ERROR_BAD_EXE_FORMAT), SyncShellError(kErrorShell),
          SyncShellError(kErrorOpenProcess), SyncShellError(kErrorExitCode),
          Error(ERROR_INTERNAL_ERROR, L"AdoDatabase", L"not a start")}) {
        StartRetries retries;
        int tries = 0;
        const auto caught = retries.Catch([&] {
            ++tries;
            throw error;
        });
        EXPECT_EQ(tries, 1) << error.Number();
        ASSERT_TRUE(caught);
        EXPECT_EQ(caught->Number(), error.Number());
        EXPECT_EQ(retries.Count(), 0);
    }
}

}  // namespace
}  // namespace vantle::testing
