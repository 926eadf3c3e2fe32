#include "install/install_run.h"

#include "install/install_reports.h"
#include "install/resume_next.h"

namespace vantle {

InstallRun::InstallRun(const ConnectionSettings& settings, InstallSteps steps,
                       InstallPrompt& prompt)
    : settings_(settings), steps_(std::move(steps)), prompt_(prompt) {}

InstallOutcome InstallRun::Run() {
    // Refused now, not after the operator has answered a question about a run that cannot be.
    if (const std::optional<Error> refusal = steps_.refusal()) {
        prompt_.ReportError(RefusedReport(*refusal));
        return InstallOutcome::Refused;
    }
    const ProbeOutcome probe = steps_.probe();
    // The operator backed out while connecting: that the probe ended in the same moment, or
    // before the way out was read, changes nothing. Acting on its outcome would ask, report or
    // run the script unasked.
    if (probe.result == ProbeOutcome::Result::Abandoned || steps_.stopAsked())
        return InstallOutcome::Abandoned;
    switch (probe.result) {
        case ProbeOutcome::Result::Failed:
            // The operator keeps what was typed and can correct it and press OK again.
            prompt_.ReportError(ConnectionFailureReport(settings_, *probe.error, probe.failedAt));
            return InstallOutcome::ConnectionFailed;
        case ProbeOutcome::Result::Abandoned:
            // The attempt goes on by itself; whatever it comes to is never reported.
            return InstallOutcome::Abandoned;
        case ProbeOutcome::Result::NotOpen:
            prompt_.ReportError(NotOpenReport(settings_));
            return InstallOutcome::NotOpen;
        case ProbeOutcome::Result::NoRecordset:
            prompt_.ReportError(ConnectionFailureReport(settings_, *probe.error, probe.failedAt));
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

    const ScriptOutcome script = steps_.runScript();
    switch (script.result) {
        case ScriptOutcome::Result::OldLogKept:
            prompt_.ReportError(OldLogReport(script));
            return InstallOutcome::OldLogKept;
        case ScriptOutcome::Result::NoLog:
            prompt_.ReportError(NoLogReport(script));
            return InstallOutcome::NoLog;
        case ScriptOutcome::Result::Stopped:
            prompt_.ReportOutcome(StoppedReport(script));
            return InstallOutcome::Stopped;
        case ScriptOutcome::Result::WaitFailed:
            prompt_.ReportError(WaitFailedReport(script));
            return InstallOutcome::WaitFailed;
        case ScriptOutcome::Result::Refused:
            prompt_.ReportError(RefusedReport(*script.error));
            return InstallOutcome::Refused;
        case ScriptOutcome::Result::ViewerFailed:
            // The script has run: the run is over as planned but for the log's window.
            prompt_.ReportOutcome(ViewerFailedReport(script));
            break;
        case ScriptOutcome::Result::LogShown:
            break;
    }
    return InstallOutcome::ScriptRun;
}

}  // namespace vantle
