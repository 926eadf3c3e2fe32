#include "install/install_run.h"

#include "install/install_reports.h"
#include "install/resume_next.h"

namespace vantle {

InstallRun::InstallRun(const ConnectionSettings& settings, std::function<ProbeOutcome()> probe,
                       InstallPrompt& prompt, std::function<ScriptOutcome()> runScript)
    : settings_(settings),
      probe_(std::move(probe)),
      prompt_(prompt),
      runScript_(std::move(runScript)) {}

InstallOutcome InstallRun::Run() {
    const ProbeOutcome probe = probe_();
    switch (probe.result) {
        case ProbeOutcome::Result::Failed:
            // The operator keeps what was typed and can correct it and press OK again.
            prompt_.ReportError(ConnectionFailureReport(settings_, *probe.error));
            return InstallOutcome::ConnectionFailed;
        case ProbeOutcome::Result::Abandoned:
            // The attempt goes on by itself; whatever it comes to is never reported.
            return InstallOutcome::Abandoned;
        case ProbeOutcome::Result::NotOpen:
            return InstallOutcome::NotOpen;
        case ProbeOutcome::Result::NoRecordset:
            return InstallOutcome::NoRecordset;
        case ProbeOutcome::Result::TablesPresent: {
            bool rerun = false;
            ResumeNext([&] { rerun = prompt_.ConfirmRerun(kRerunQuestion, kRerunTitle); });
            if (!rerun) return InstallOutcome::Declined;
            break;
        }
        case ProbeOutcome::Result::TablesAbsent:
            break;
    }

    const ScriptOutcome script = runScript_();
    switch (script.result) {
        case ScriptOutcome::Result::OldLogKept:
            prompt_.ReportError(OldLogReport(script));
            return InstallOutcome::OldLogKept;
        case ScriptOutcome::Result::NoLog:
            prompt_.ReportError(NoLogReport(script));
            return InstallOutcome::NoLog;
        case ScriptOutcome::Result::Stopped:
            prompt_.ReportStopped(StoppedReport(script));
            return InstallOutcome::Stopped;
        case ScriptOutcome::Result::Refused:
            prompt_.ReportError(RefusedReport(script));
            return InstallOutcome::Refused;
        case ScriptOutcome::Result::LogShown:
            break;
    }
    return InstallOutcome::ScriptRun;
}

}  // namespace vantle
