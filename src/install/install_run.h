#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/error.h"
#include "install/connection_settings.h"
#include "install/script_run.h"
#include "install/table_probe.h"

namespace vantle {

inline constexpr const wchar_t* kRerunQuestion =
    L"The Vantle Tables already exist in this database. Re-run the setup?";
inline constexpr const wchar_t* kRerunTitle = L"Installing Vantle Tables";

// The operator's side of the run: the re-run question and the reports of what went wrong.
class InstallPrompt {
  public:
    virtual ~InstallPrompt() = default;
    // Yes/No, question icon, No the default. True only for Yes.
    virtual bool ConfirmRerun(const std::wstring& text, const std::wstring& title) = 0;
    // An error box over the dialog; the run then returns to the dialog.
    virtual void ReportError(const std::wstring& text) = 0;
    // A box over the dialog telling what became of a run that did not end as planned, with
    // nothing in the fields to correct: the operator stopped it, or Notepad could not show its
    // log.
    virtual void ReportOutcome(const std::wstring& text) = 0;
};

// What OK sets going, one step at a time; the run decides what follows each.
struct InstallSteps {
    // A value no tool's command line could carry: known before anything is asked of anyone.
    std::function<std::optional<Error>()> refusal;
    // Connects and probes for the tables.
    std::function<ProbeOutcome()> probe;
    // Whether the operator asked to stop while the probe ran, whether or not its end was seen
    // first, a way out still queued as it ended included: read as soon as the probe is over,
    // before its outcome is acted on.
    std::function<bool()> stopAsked;
    std::function<ScriptOutcome()> runScript;
};

enum class InstallOutcome {
    ConnectionFailed,  // reported; back to the dialog, fields as they were
    NotOpen,           // the connection opened but is not open; reported; back to the dialog
    NoRecordset,       // ADO could make no recordset; reported; back to the dialog
    Declined,          // the tables exist and the operator said No; back to the dialog
    OldLogKept,        // reported; no tool ran; back to the dialog
    NoLog,             // reported; neither tool left a log; back to the dialog
    Abandoned,         // the operator gave up waiting for the connection; back to the dialog
    Stopped,           // the operator stopped a tool; reported; back to the dialog
    Refused,           // a value no tool can be given; reported; nothing ran; back to the dialog
    WaitFailed,        // a tool could not be waited for and was ended; reported; back to the dialog
    ScriptRun,         // the script ran and its log is shown, or where it is was told (no
                       // Notepad): the program ends now
};

// What OK does: connect and probe for the tables, ask before a re-run, run the script, and
// report whatever keeps the run from ending with this run's own log on screen.
class InstallRun {
  public:
    InstallRun(const ConnectionSettings& settings, InstallSteps steps, InstallPrompt& prompt);
    InstallOutcome Run();

  private:
    ConnectionSettings settings_;
    InstallSteps steps_;
    InstallPrompt& prompt_;
};

}  // namespace vantle
