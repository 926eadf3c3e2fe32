#pragma once

#include <functional>
#include <string>

#include "common/error.h"
#include "dialog/dialog_fields.h"
#include "install/database.h"

namespace vantle {

inline constexpr const wchar_t* kRerunQuestion =
    L"The Vantle Tables already exist in this database. Re-run the setup?";
inline constexpr const wchar_t* kRerunTitle = L"Installing Vantle Tables";
inline constexpr const wchar_t* kProbeQuery = L"select * from vantle";

// The operator's side of the run: the re-run question and the report of a failed connection.
class InstallPrompt {
  public:
    virtual ~InstallPrompt() = default;
    // Yes/No, question icon, No the default. True only for Yes.
    virtual bool ConfirmRerun(const std::wstring& text, const std::wstring& title) = 0;
    virtual void ReportConnectionFailure(const Error& error) = 0;
};

enum class InstallOutcome {
    ConnectionFailed,  // reported; back to the dialog, fields as they were
    NotOpen,           // the connection opened but is not open; back to the dialog
    NoRecordset,       // back to the dialog
    Declined,          // the tables exist and the operator said No; back to the dialog
    ScriptRun,         // the script ran: the program ends now
};

// What OK does: connect, probe for the tables, ask before a re-run, run the script.
class InstallRun {
  public:
    InstallRun(const DialogFields& fields, Database& database, InstallPrompt& prompt,
               std::function<void()> runScript);
    InstallOutcome Run();

  private:
    const DialogFields& fields_;
    Database& database_;
    InstallPrompt& prompt_;
    std::function<void()> runScript_;
};

}  // namespace vantle
