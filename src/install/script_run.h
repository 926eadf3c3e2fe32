#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/environment.h"
#include "common/error.h"
#include "install/connection_settings.h"
#include "install/file_system.h"
#include "install/script_commands.h"
#include "process/process_runner.h"

namespace vantle {

// What became of one tool, or of the viewer.
struct ToolRun {
    enum class Result { NotRun, Exited, Failed, Stopped, WaitFailed };
    Result result = Result::NotRun;
    std::int32_t exitCode = 0;   // Exited: cmd.exe's exit code, 9009 when it found no tool
    std::optional<Error> error;  // Failed: why it could not be run; WaitFailed: why not waited for
    // Stopped: the operator stopped it, and it was ended. WaitFailed: it was started, but its end
    // could no longer be waited for; it was ended, perhaps half-way through the script.
    // Either way, whether everything it had started was ended with it (its job), or only what
    // could be found of it by the processes' parent links, and why.
    EndedBy endedBy = EndedBy::Job;
};

struct ScriptOutcome {
    enum class Result {
        LogShown,      // a tool left the result log and Notepad was started on it
        OldLogKept,    // an earlier run's log could not be deleted: no tool ran
        NoLog,         // neither tool left a log: nothing to show
        Stopped,       // the operator stopped the run: a tool was ended, or one had ended by itself
                       // as the stop was asked; nothing further ran, the log is as it left it
        Refused,       // a value no tool's command line can carry: nothing touched, nothing ran
        WaitFailed,    // a tool's end could not be waited for: it was ended, nothing further ran
        ViewerFailed,  // a tool left the result log, but Notepad could not be started on it
    };
    Result result = Result::LogShown;
    std::wstring logPath;
    bool logLeft = false;        // Stopped, WaitFailed: whether the log exists as the run ends
    std::optional<Error> error;  // OldLogKept: why the old log could not be deleted; Refused: which
                                 // value, and why
    ToolRun primary;
    ToolRun fallback;
    ToolRun viewer;  // cmd.exe's start of Notepad: exit code 0 when Notepad was started
};

// What a script run tells, and asks, whoever set it going.
struct ScriptRunHooks {
    // Just before `tool` starts.
    std::function<void(ScriptTool)> toolStarting;
    // Once a tool has ended by itself, before anything further starts (the fallback, Notepad):
    // true when the operator has asked to stop the run, which then ends there. A stop belongs
    // to the run: one asked for as the tool ended is not lost because it ended first.
    std::function<bool()> stopAsked;
};

// The second half of an install: runs TableScripts.sql through sqlcmd (osql when sqlcmd has
// left no result log), hidden, from the program folder, and opens the result log in Notepad.
// The program itself never reads the script or the log.
class ScriptRun {
  public:
    ScriptRun(const ConnectionSettings& settings, const Environment& environment, FileSystem& files,
              ProcessRunner& runner, ScriptRunHooks hooks = {});

    // Every step below under the install run's rule that a failing step is skipped, and a
    // failing existence test lets the step it guards run; but a run never ends showing a log
    // that is not its own, nor in silence when Notepad could not be started on its log. An old log
    // that cannot be deleted stops the run before any tool, and when neither tool left a log there
    // is nothing for Notepad to show. A tool the operator stops, or whose end can no longer be
    // waited for, ends the run there: no fallback, no Notepad; so does a stop asked for once a tool
    // has ended. A value that no command line can carry refuses the run before the old log is
    // touched.
    ScriptOutcome RunAll();

    // A value that no line of this run can carry, which RunAll would refuse: known before
    // anything is connected to or asked, so that the operator hears it first.
    std::optional<Error> Refusal() const;

    // The steps one by one; each but RunTool and OpenResultLog raises its own failure.
    bool ResultLogExists() const;
    void DeleteResultLog();
    ToolRun RunTool(ScriptTool tool);
    ToolRun OpenResultLog();

  private:
    ProgramCommand Interpreter(const std::wstring& commandLine,
                               EnvironmentOverrides environment = {}) const;
    ConnectionSettings settings_;
    const Environment& environment_;
    FileSystem& files_;
    std::wstring resultLog_;
    ProcessRunner& runner_;
    ScriptRunHooks hooks_;
};

}  // namespace vantle
