#include "app/setup_app_win.h"

#include "common/environment_win.h"
#include "dialog/form1_win.h"
#include "install/file_system_win.h"
#include "install/install_prompt_win.h"
#include "install/install_run.h"
#include "install/script_run.h"
#include "process/shell_module_win.h"
#include "profile/ini_read_win.h"

namespace vantle {

void RunSetupApp(HINSTANCE instance, Database& database) {
    const WindowsEnvironment environment;
    const WindowsProfileReader profiles;
    WindowsFileSystem files;
    ShellProcessRunner runner;

    const auto cmdOK = [&](Form1& form) {
        ScriptRun script(form, environment, files, runner);
        WindowsInstallPrompt prompt(form.Window());
        InstallRun run(form, database, prompt, [&script] { script.RunAll(); });
        if (run.Run() == InstallOutcome::ScriptRun) form.CloseAndEnd();
    };
    Form1 form(instance, profiles, environment, cmdOK);
    form.Run();
}

}  // namespace vantle
