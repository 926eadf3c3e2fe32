#include "install/script_run.h"

#include "install/resume_next.h"

namespace vantle {
namespace {

// With TEMP unset or relative, the log's path depends on the current folder and drive, and
// the tools run in the program folder, perhaps on another drive than this program's current
// folder: they would write one file while the program tests, deletes and shows another.
// Resolved here, once, every step names the same file; an absolute TEMP is used as it is.
std::wstring ResolvedResultLog(const std::wstring& tempFolder, const FileSystem& files) {
    const std::wstring log = ResultLogPath(tempFolder);
    return IsFullyQualifiedPath(log) ? log : files.FullPath(log);
}

}  // namespace

ScriptRun::ScriptRun(const ConnectionSettings& settings, const Environment& environment,
                     FileSystem& files, ProcessRunner& runner, ScriptRunHooks hooks)
    : settings_(settings),
      environment_(environment),
      files_(files),
      resultLog_(ResolvedResultLog(environment.Variable(L"TEMP"), files)),
      runner_(runner),
      hooks_(std::move(hooks)) {}

ScriptOutcome ScriptRun::RunAll() {
    ScriptOutcome outcome;
    outcome.logPath = resultLog_;
    const auto logExists = [&] { return ConditionResumeNext([&] { return ResultLogExists(); }); };
    if (std::optional<Error> refusal = Refusal()) {
        outcome.result = ScriptOutcome::Result::Refused;
        outcome.error = std::move(refusal);
        return outcome;
    }

    if (logExists()) {
        try {
            DeleteResultLog();
        } catch (const Error& error) {
            // The tools could not write over it, and it would be shown as this run's result.
            if (logExists()) {
                outcome.result = ScriptOutcome::Result::OldLogKept;
                outcome.error = error;
                return outcome;
            }
        }
    }
    // A stopped tool, or one that could not be waited for, was ended half-way: what it left
    // is no result to show, and the fallback would run the script a second time over it. A stop
    // asked for as a tool ended by itself is the operator's too: nothing further starts.
    const auto stopped = [&](const ToolRun& run) {
        if (run.result == ToolRun::Result::Stopped) {
            outcome.result = ScriptOutcome::Result::Stopped;
        } else if (run.result == ToolRun::Result::WaitFailed) {
            outcome.result = ScriptOutcome::Result::WaitFailed;
        } else if (hooks_.stopAsked && hooks_.stopAsked()) {
            outcome.result = ScriptOutcome::Result::Stopped;
        } else {
            return false;
        }
        outcome.logLeft = !ConditionResumeNext([&] { return !ResultLogExists(); });
        return true;
    };
    outcome.primary = RunTool(ScriptTool::Primary);
    if (stopped(outcome.primary)) return outcome;
    // The fallback rests on the log alone, never on an exit code: sqlcmd exits 0 even when it
    // could not connect, and a missing sqlcmd still leaves cmd.exe's own exit code.
    if (ConditionResumeNext([&] { return !ResultLogExists(); })) {
        outcome.fallback = RunTool(ScriptTool::Fallback);
        if (stopped(outcome.fallback)) return outcome;
    }
    if (!logExists()) {
        outcome.result = ScriptOutcome::Result::NoLog;
        return outcome;
    }
    // start reports by its exit code that it could not open Notepad (not found, barred by
    // policy): the operator would otherwise be left with no window and no word.
    outcome.viewer = OpenResultLog();
    if (outcome.viewer.result != ToolRun::Result::Exited || outcome.viewer.exitCode != 0)
        outcome.result = ScriptOutcome::Result::ViewerFailed;
    return outcome;
}

std::optional<Error> ScriptRun::Refusal() const {
    // Every tool's line carries the same values: one that cannot stand on one line fails them
    // all, and the operator must hear which value it is, not what became of tools never run.
    try {
        for (const ScriptTool tool : {ScriptTool::Primary, ScriptTool::Fallback})
            ToolCommandFor(tool, settings_, environment_.ProgramFolder(), resultLog_);
        ViewerCommandLine(resultLog_);
    } catch (const Error& error) {
        return error;
    }
    return std::nullopt;
}

bool ScriptRun::ResultLogExists() const {
    return files_.NormalFileExists(resultLog_);
}

void ScriptRun::DeleteResultLog() {
    files_.Delete(resultLog_);
}

ToolRun ScriptRun::RunTool(ScriptTool tool) {
    ToolRun run;
    try {
        const ToolCommand command =
            ToolCommandFor(tool, settings_, environment_.ProgramFolder(), resultLog_);
        if (hooks_.toolStarting) hooks_.toolStarting(tool);
        ProgramCommand interpreter = Interpreter(command.commandLine, command.environment);
        // Stopping a tool, or this program ending, must end sqlcmd too, not only its cmd.exe.
        interpreter.endsWithThisProgram = true;
        run.exitCode = runner_.Run(interpreter, kWindowHidden);
        run.result = ToolRun::Result::Exited;
    } catch (const Error& error) {
        switch (error.Number()) {
            case kErrorStopped:
                run.result = ToolRun::Result::Stopped;
                break;
            case kErrorWaitFailed:
                run.result = ToolRun::Result::WaitFailed;
                break;
            default:
                run.result = ToolRun::Result::Failed;
                break;
        }
        run.error = error;
        run.endedBy = HowEnded(error);
    }
    return run;
}

ToolRun ScriptRun::OpenResultLog() {
    ToolRun run;
    try {
        run.exitCode = runner_.Run(Interpreter(ViewerCommandLine(resultLog_)), kWindowHidden);
        run.result = ToolRun::Result::Exited;
    } catch (const Error& error) {
        run.result = ToolRun::Result::Failed;
        run.error = error;
    }
    return run;
}

ProgramCommand ScriptRun::Interpreter(const std::wstring& commandLine,
                                      EnvironmentOverrides environment) const {
    // Name the system's own cmd.exe as the program: a bare "cmd.exe" would be looked for in
    // the program folder and the current folder first. cmd.exe in turn looks for sqlcmd,
    // osql and notepad in its current folder before PATH, so that folder is the program's
    // own, never wherever the operator happened to start the program from; relative
    // includes in the script then resolve beside it, too.
    ProgramCommand command;
    command.application = environment_.SystemFolder() + L"\\cmd.exe";
    command.commandLine = commandLine;
    command.environment = std::move(environment);
    command.currentFolder = environment_.ProgramFolder();
    return command;
}

}  // namespace vantle
