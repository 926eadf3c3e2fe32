#include "install/table_probe.h"

#include <memory>

#include "install/connection_string.h"
#include "install/resume_next.h"

namespace vantle {

ProbeOutcome ProbeTables(Database& database, const ConnectionSettings& settings) {
    using Result = ProbeOutcome::Result;
    // Phase one: any failure ends the probe with that failure.
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Recordset> recordset;
    try {
        connection = database.CreateConnection();
    } catch (const Error& error) {
        return {Result::Failed, error, ProbeStep::CreatingAdo};
    }
    try {
        connection->Open(ConnectionString(settings), L"", L"", kOptionsNone);
        if (connection->State() != kStateOpen) return {Result::NotOpen, {}};
    } catch (const Error& error) {
        connection.reset();
        return {Result::Failed, error, ProbeStep::Connecting};
    }
    try {
        recordset = database.CreateRecordset();
    } catch (const Error& error) {
        ResumeNext([&] { connection->Close(); });
        return {Result::NoRecordset, error, ProbeStep::CreatingRecordset};
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
        closeAndRelease(recordset);
        closeAndRelease(connection);
        return {Result::TablesPresent, {}};
    }
    // Any failure of the probe counts as the tables' absence.
    recordset.reset();
    closeAndRelease(connection);
    return {Result::TablesAbsent, {}};
}

}  // namespace vantle
