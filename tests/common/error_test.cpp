#include "common/error.h"

#include <gtest/gtest.h>

namespace vantle {
namespace {

TEST(ErrorReport, ShowsTheNumberSignedAndInHexWithTheDescription) {
    const Error error(ErrorNumber(0x8004AA01u), L"SyncShell", L"Failed to open child process");
    EXPECT_EQ(error.Number(), -2147177983);
    EXPECT_EQ(FormatErrorReport(error),
              L"Run-time error '-2147177983 (8004aa01)':\n\nFailed to open child process"
              L"\n\nSource: SyncShell");
}

TEST(ErrorReport, PositiveNumbersAndAnEmptySourceOrDescription) {
    EXPECT_EQ(FormatErrorReport(Error(53, L"", L"File not found")),
              L"Run-time error '53 (35)':\n\nFile not found");
    EXPECT_EQ(FormatErrorReport(Error(53, L"", L"")),
              L"Run-time error '53 (35)':\n\nNo description was given.");
}

}  // namespace
}  // namespace vantle
