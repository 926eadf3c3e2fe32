#pragma once

#include <optional>

#include "common/error.h"
#include "install/connection_settings.h"
#include "install/database.h"

namespace vantle {

inline constexpr const wchar_t* kProbeQuery = L"select * from vantle";

// The step a failed probe failed at. Its words for the operator depend on it before they depend
// on the number: the same HRESULT can come from a server that refused and from a computer that
// cannot load ADO at all.
enum class ProbeStep {
    CreatingAdo,        // ADO's own objects could not be created: nothing was asked of anyone
    Connecting,         // opening the connection: the provider, the network, the server, the login
    CreatingRecordset,  // connected and logged in, ADO could not make the probe's recordset
};

struct ProbeOutcome {
    enum class Result {
        Failed,         // the connection could not be opened (or set up): `error` says why
        NotOpen,        // it opened, but its state is not open
        NoRecordset,    // no recordset object could be created: `error` says why
        TablesPresent,  // the probe query opened
        TablesAbsent,   // the probe failed, whatever the reason
        Abandoned,      // the operator stopped waiting; the attempt's own end is never known
    };
    Result result = Result::Failed;
    std::optional<Error> error;
    ProbeStep failedAt = ProbeStep::Connecting;  // Failed, NoRecordset: where
};

// Connects and probes for the tables. Every database object is closed and released before it
// returns, so the outcome can be acted on (a question, a tool run) with nothing held. Uses
// only `database` and the calling thread, so it can run away from the window's thread.
ProbeOutcome ProbeTables(Database& database, const ConnectionSettings& settings);

}  // namespace vantle
