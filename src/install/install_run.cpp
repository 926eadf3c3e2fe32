#include "install/install_run.h"

#include "install/connection_string.h"
#include "install/resume_next.h"

namespace vantle {

InstallRun::InstallRun(const DialogFields& fields, Database& database, InstallPrompt& prompt,
                       std::function<void()> runScript)
    : fields_(fields), database_(database), prompt_(prompt), runScript_(std::move(runScript)) {}

InstallOutcome InstallRun::Run() {
    // Phase one. A failure here (most often a connection that cannot be opened) is reported
    // over the dialog and the run ends: the operator keeps what was typed and can correct it
    // and press OK again.
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Recordset> recordset;
    try {
        connection = database_.CreateConnection();
        connection->Open(ConnectionString(fields_), L"", L"", kOptionsNone);
        if (connection->State() != kStateOpen) return InstallOutcome::NotOpen;
        recordset = database_.CreateRecordset();
        if (!recordset) {
            connection->Close();
            return InstallOutcome::NoRecordset;
        }
    } catch (const Error& error) {
        recordset.reset();
        connection.reset();
        prompt_.ReportConnectionFailure(error);
        return InstallOutcome::ConnectionFailed;
    }

    // Phase two: from the probe on, a failing step is skipped without a message.
    const auto closeAndRelease = [](auto& object) {
        ResumeNext([&] { object->Close(); });
        object.reset();
    };
    ResumeNext([&] {
        recordset->Open(kProbeQuery, *connection, kOpenForwardOnly, kLockReadOnly, kOptionsNone);
    });
    if (ConditionResumeNext([&] { return recordset->State() == kStateOpen; })) {
        // The tables exist. Release everything before asking: the tools make their own
        // connections, and nothing may hold this one while they run.
        closeAndRelease(recordset);
        closeAndRelease(connection);
        bool rerun = false;
        ResumeNext([&] { rerun = prompt_.ConfirmRerun(kRerunQuestion, kRerunTitle); });
        if (!rerun) return InstallOutcome::Declined;
    } else {
        // Any failure of the probe counts as the tables' absence.
        recordset.reset();
        closeAndRelease(connection);
    }
    ResumeNext([&] { runScript_(); });
    return InstallOutcome::ScriptRun;
}

}  // namespace vantle
