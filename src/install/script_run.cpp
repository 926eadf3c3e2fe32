#include "install/script_run.h"

#include "install/resume_next.h"
#include "install/script_commands.h"

namespace vantle {

ScriptRun::ScriptRun(const DialogFields& fields, const Environment& environment, FileSystem& files,
                     ProcessRunner& runner)
    : fields_(fields), environment_(environment), files_(files), runner_(runner) {}

void ScriptRun::RunAll() {
    if (ConditionResumeNext([&] { return ResultLogExists(); }))
        ResumeNext([&] { DeleteResultLog(); });
    ResumeNext([&] { RunTool(ScriptTool::Primary); });
    // The fallback rests on the log alone, never on an exit code: sqlcmd exits 0 even when it
    // could not connect, and a missing sqlcmd still leaves cmd.exe's own exit code.
    if (ConditionResumeNext([&] { return !ResultLogExists(); }))
        ResumeNext([&] { RunTool(ScriptTool::Fallback); });
    ResumeNext([&] { OpenResultLog(); });
}

bool ScriptRun::ResultLogExists() const {
    return files_.NormalFileExists(ResultLogPath(TempFolder()));
}

void ScriptRun::DeleteResultLog() {
    files_.Delete(ResultLogPath(TempFolder()));
}

void ScriptRun::RunTool(ScriptTool tool) {
    const ToolSettings settings = ReadToolSettings(fields_);
    const std::wstring line =
        ToolCommandLine(tool, settings, environment_.ProgramFolder(), TempFolder());
    runner_.Run(Interpreter(line), kWindowHidden);
}

void ScriptRun::OpenResultLog() {
    runner_.Run(Interpreter(ViewerCommandLine(TempFolder())), kWindowHidden);
}

ProgramCommand ScriptRun::Interpreter(const std::wstring& commandLine) const {
    // Name the system's own cmd.exe as the program: a bare "cmd.exe" would be looked for in
    // the program folder and the current folder first. The line itself stays as composed.
    return ProgramCommand{environment_.SystemFolder() + L"\\cmd.exe", commandLine};
}

}  // namespace vantle
