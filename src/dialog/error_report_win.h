#pragma once

#include <windows.h>

#include "common/error.h"

namespace vantle {

// The program's report of a failure no handler took: a message box with the error's number and
// description, after which the program ends.
[[noreturn]] void ReportUnhandledErrorAndEnd(HWND owner, const Error& error);

// Runs one event handler; a failure escaping it goes to the unhandled-error report. Nothing
// may unwind through the window procedure into user32.
template <typename Handler>
void RunHandler(HWND owner, Handler&& handler) noexcept;

Error ErrorFromCurrentException();

template <typename Handler>
void RunHandler(HWND owner, Handler&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        ReportUnhandledErrorAndEnd(owner, ErrorFromCurrentException());
    }
}

}  // namespace vantle
