#include "app/setup_app_win.h"

#include <memory>

#include "app/background_work_win.h"
#include "app/dialog_settings.h"
#include "app/single_instance_win.h"
#include "common/environment_win.h"
#include "dialog/form1_win.h"
#include "install/file_system_win.h"
#include "install/install_prompt_win.h"
#include "install/install_reports.h"
#include "install/install_run.h"
#include "install/script_run.h"
#include "install/table_probe.h"
#include "process/shell_module_win.h"
#include "profile/ini_read_win.h"

namespace vantle {
namespace {

// Connects and probes on a thread of its own. Cancel gives the dialog back at once: the
// attempt is left to end by itself, with its own copy of the settings and its own outcome,
// and whatever it comes to is never seen.
ProbeOutcome ProbeUnlessGivenUp(Form1& form, Database& database,
                                const ConnectionSettings& settings) {
    const Form1::Busy busy(form, {L"connecting to " + settings.server + L"\u2026", {}, {}});
    const auto outcome = std::make_shared<ProbeOutcome>();
    const bool finished = RunInBackground(
        [&database, settings, outcome] { *outcome = ProbeTables(database, settings); },
        form.StopRequest());
    if (!finished) return {ProbeOutcome::Result::Abandoned, {}};
    return *outcome;
}

}  // namespace

void RunSetupApp(HINSTANCE instance, Database& database) {
    // A second copy would delete or overwrite the first one's result log in %TEMP%.
    const SingleInstance instanceGuard;
    if (!instanceGuard.IsFirst()) {
        SingleInstance::BringFirstCopyToFront();
        ExitProcess(0);
    }

    const WindowsEnvironment environment;
    const WindowsProfileReader profiles;
    WindowsFileSystem files;

    const auto cmdOK = [&](Form1& form) {
        const ConnectionSettings settings = ReadConnectionSettings(form);
        WindowsInstallPrompt prompt(form.Window());
        const auto probe = [&] { return ProbeUnlessGivenUp(form, database, settings); };
        const auto runScript = [&] {
            const auto step = [&](ScriptTool tool) {
                return Form1::BusyStep{
                    std::wstring(L"running ") + ToolName(tool) + L"\u2026",
                    [&prompt, tool] { return prompt.ConfirmRerun(StopQuestion(tool), kStopTitle); },
                    kShutdownBlockReason};
            };
            Form1::Busy busy(form, step(ScriptTool::Primary));
            ShellProcessRunner runner(form.StopRequest());
            ScriptRun script(settings, environment, files, runner,
                             [&](ScriptTool tool) { busy.Next(step(tool)); });
            return script.RunAll();
        };
        InstallRun run(settings, probe, prompt, runScript);
        // Back to the dialog for every other outcome, reported or quiet; OK may be pressed again.
        if (run.Run() == InstallOutcome::ScriptRun) form.CloseAndEnd();
    };
    Form1 form(instance, profiles, environment, cmdOK);
    form.Run();
}

}  // namespace vantle
