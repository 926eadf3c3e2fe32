#include "app/setup_app_win.h"

#include <memory>
#include <optional>

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

// One busy state for a run, from the probe on and straight through the script when the tables
// are absent: giving the dialog back between two steps would only make it flicker. It ends
// before the operator is asked or told anything (see PromptOutsideBusy), or with the run.
class RunBusy {
  public:
    explicit RunBusy(Form1& form) : form_(form) {}
    void Step(Form1::BusyStep step) {
        caption_ = step.caption;
        shutdownBlockReason_ = step.shutdownBlockReason;
        if (busy_) {
            busy_->Next(std::move(step));
        } else {
            busy_.emplace(form_, std::move(step));
        }
    }
    // Between two steps, once a tool has ended: still busy under the same caption, but nothing
    // runs that a question could name, so a way out stops the run at once. The session stays
    // held from the first tool to the last: the fallback may yet run the script.
    void Between() {
        if (busy_) busy_->Next({caption_, {}, shutdownBlockReason_});
    }
    void End() { busy_.reset(); }

  private:
    Form1& form_;
    std::optional<Form1::Busy> busy_;
    std::wstring caption_;
    std::wstring shutdownBlockReason_;
};

// The run's questions and reports are the operator's to answer: the dialog is no longer busy
// under them, and what was typed while it was cannot answer them.
class PromptOutsideBusy final : public InstallPrompt {
  public:
    PromptOutsideBusy(InstallPrompt& prompt, RunBusy& busy) : prompt_(prompt), busy_(busy) {}
    bool ConfirmRerun(const std::wstring& text, const std::wstring& title) override {
        busy_.End();
        return prompt_.ConfirmRerun(text, title);
    }
    void ReportError(const std::wstring& text) override {
        busy_.End();
        prompt_.ReportError(text);
    }
    void ReportOutcome(const std::wstring& text) override {
        busy_.End();
        prompt_.ReportOutcome(text);
    }

  private:
    InstallPrompt& prompt_;
    RunBusy& busy_;
};

// Connects and probes on a thread of its own. Cancel gives the dialog back at once: the
// attempt is left to end by itself, with its own copy of the settings and its own outcome,
// and whatever it comes to is never seen.
ProbeOutcome ProbeUnlessGivenUp(Form1& form, RunBusy& busy, Database& database,
                                const ConnectionSettings& settings) {
    busy.Step({L"connecting to " + settings.server + L"\u2026", {}, {}});
    const auto outcome = std::make_shared<ProbeOutcome>();
    const bool finished = RunInBackground(
        [&database, settings, outcome] { *outcome = ProbeTables(database, settings); },
        form.StopRequest());
    if (!finished) return {ProbeOutcome::Result::Abandoned, {}};
    return *outcome;
}

}  // namespace

void RunSetupApp(HINSTANCE instance, Database& database, ProcessPlatform& processes) {
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
        WindowsInstallPrompt boxes(form.Window());
        RunBusy busy(form);
        PromptOutsideBusy prompt(boxes, busy);
        const auto step = [&](ScriptTool tool) {
            // Asked over the busy dialog: No lets the step go on as it was.
            return Form1::BusyStep{
                std::wstring(L"running ") + ToolName(tool) + L"\u2026",
                [&boxes, tool] { return boxes.ConfirmRerun(StopQuestion(tool), kStopTitle); },
                kShutdownBlockReason};
        };
        ShellProcessRunner runner(form.StopRequest(), processes);
        ScriptRun script(settings, environment, files, runner,
                         {[&](ScriptTool tool) { busy.Step(step(tool)); },
                          [&] {
                              busy.Between();
                              return form.StopAsked();
                          }});
        InstallSteps steps{
            [&] { return script.Refusal(); },
            [&] { return ProbeUnlessGivenUp(form, busy, database, settings); },
            // Still in the connecting step, where a way out gives the attempt up unasked.
            [&] { return form.StopAsked(); },
            [&] {
                busy.Step(step(ScriptTool::Primary));
                return script.RunAll();
            }};
        InstallRun run(settings, std::move(steps), prompt);
        // Back to the dialog for every other outcome, reported or quiet; OK may be pressed again.
        if (run.Run() == InstallOutcome::ScriptRun) form.CloseAndEnd();
    };
    Form1 form(instance, profiles, environment, cmdOK);
    form.Run();
}

}  // namespace vantle
