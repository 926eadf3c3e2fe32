#pragma once

#include <wrl/client.h>

#include "install/ado_interfaces_win.h"
#include "install/database.h"

namespace vantle {

// ADO's Connection and Recordset through their own COM interfaces, created in the calling
// thread's apartment, which must be a single-threaded one of its own (see ComApartment).
// The provider is the one the connection string names.
class AdoDatabase final : public Database {
  public:
    std::unique_ptr<Connection> CreateConnection() override;
    std::unique_ptr<Recordset> CreateRecordset() override;
};

// The adapters over ADO objects that already exist: what AdoDatabase makes, or a test's
// stand-in that records the calls.
std::unique_ptr<Connection> AdaptAdoConnection(Microsoft::WRL::ComPtr<ado::Connection15> object);
std::unique_ptr<Recordset> AdaptAdoRecordset(Microsoft::WRL::ComPtr<ado::Recordset15> object);

}  // namespace vantle
