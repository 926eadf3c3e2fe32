#pragma once

#include <cstdint>
#include <string>

#include "common/error.h"
#include "install/connection_settings.h"
#include "install/script_run.h"
#include "install/table_probe.h"

namespace vantle {

// The texts of the error boxes an install run can end in, in the operator's terms: what
// failed, why as the system or provider put it, and what to do before pressing OK again.

// "0x80040E4D": how operators and support look such numbers up.
std::wstring HexErrorNumber(std::int32_t number);

// Chosen by the step that failed first, then by the number.
std::wstring ConnectionFailureReport(const ConnectionSettings& settings, const Error& error,
                                     ProbeStep failedAt);

// A connection that opened without an error but reports itself not open.
std::wstring NotOpenReport(const ConnectionSettings& settings);

// An earlier run's log that could not be deleted.
std::wstring OldLogReport(const ScriptOutcome& outcome);

// Neither tool left a log: what became of each, and what to check: the tools' installation
// when none could be run, the log's folder when one ran.
std::wstring NoLogReport(const ScriptOutcome& outcome);

// A value no tool's command line can carry: which, why, and that nothing ran.
std::wstring RefusedReport(const Error& refusal);

// Asked when the operator wants out while `tool` runs: Yes stops it.
std::wstring StopQuestion(ScriptTool tool);
inline constexpr const wchar_t* kStopTitle = L"Installing Vantle Tables";

// What a stop left: which tool was stopped, or had ended by itself, and the log so far.
std::wstring StoppedReport(const ScriptOutcome& outcome);

// A tool that could no longer be waited for, and so was ended: which, the system's reason, and
// the log it had written so far.
std::wstring WaitFailedReport(const ScriptOutcome& outcome);

// The script ran and left its log, but Notepad could not be started on it: where the log is,
// and why, in the system's words where it gave any.
std::wstring ViewerFailedReport(const ScriptOutcome& outcome);

// Given to Windows while a tool runs, which the session cannot end without cutting short.
inline constexpr const wchar_t* kShutdownBlockReason = L"The Vantle Tables script is running.";

}  // namespace vantle
