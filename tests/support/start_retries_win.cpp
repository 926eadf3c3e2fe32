#include "support/start_retries_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>

#include "process/process_runner.h"

namespace vantle::testing {
namespace {

constexpr int kTries = 3;

}  // namespace

bool IsRefusedStart(const Error& error) {
    if (error.Source() != kSyncShellSource) return false;
    switch (error.Number()) {
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
        case ERROR_INTERNAL_ERROR:
        case ERROR_NO_SYSTEM_RESOURCES:
        case ERROR_COMMITMENT_LIMIT:
            return true;
        default:
            return false;
    }
}

StartRetries::~StartRetries() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test == nullptr) return;
    std::cout << "[ RETRIES  ] " << test->test_suite_name() << "." << test->name() << ": " << count_
              << " start retries" << std::endl;
    ::testing::Test::RecordProperty("start_retries", count_);
}

void StartRetries::Run(const std::function<void()>& start,
                       const std::function<bool()>& leftRecord) {
    for (int attempt = 1;; ++attempt) {
        try {
            start();
        } catch (const Error& error) {
            if (!IsRefusedStart(error) || attempt == kTries) throw;
            ++count_;
            continue;
        }
        if (!leftRecord || leftRecord() || attempt == kTries) return;
        ++count_;
    }
}

std::optional<Error> StartRetries::Catch(const std::function<void()>& call) {
    try {
        Run(call);
    } catch (const Error& error) {
        return error;
    }
    return std::nullopt;
}

}  // namespace vantle::testing
