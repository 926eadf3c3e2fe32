#include "app/setup_app_win.h"

#include "app/background_work_win.h"
#include "app/dialog_settings.h"
#include "app/single_instance_win.h"
#include "common/environment_win.h"
#include "dialog/form1_win.h"
#include "install/file_system_win.h"
#include "install/install_prompt_win.h"
#include "install/install_run.h"
#include "install/script_run.h"
#include "install/table_probe.h"
#include "process/shell_module_win.h"
#include "profile/ini_read_win.h"

namespace vantle {

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
    ShellProcessRunner runner;

    const auto cmdOK = [&](Form1& form) {
        const ConnectionSettings settings = ReadConnectionSettings(form);
        WindowsInstallPrompt prompt(form.Window());
        const auto probe = [&] {
            const Form1::Busy busy(form, L"connecting to " + settings.server + L"\u2026");
            ProbeOutcome outcome;
            RunInBackground([&] { outcome = ProbeTables(database, settings); });
            return outcome;
        };
        const auto runScript = [&] {
            const auto step = [](ScriptTool tool) {
                return std::wstring(L"running ") + ToolName(tool) + L"\u2026";
            };
            Form1::Busy busy(form, step(ScriptTool::Primary));
            ScriptRun script(settings, environment, files, runner,
                             [&](ScriptTool tool) { busy.Step(step(tool)); });
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
