#pragma once

#include "common/error.h"

namespace vantle {

// The install run's second phase skips a failing step without a message and goes on with the
// next one. A step that fails is abandoned; a condition whose test fails counts as true, so
// the action it guards runs.
template <typename Step>
void ResumeNext(Step&& step) {
    try {
        step();
    } catch (const Error&) {
    }
}

template <typename Test>
bool ConditionResumeNext(Test&& test) {
    try {
        return test();
    } catch (const Error&) {
        return true;
    }
}

}  // namespace vantle
