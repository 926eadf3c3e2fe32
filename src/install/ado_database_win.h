#pragma once

#include "install/database.h"

namespace vantle {

// ADO's Connection and Recordset through their own COM interfaces, on the calling thread's
// apartment. The provider is the one the connection string names.
class AdoDatabase final : public Database {
  public:
    std::unique_ptr<Connection> CreateConnection() override;
    std::unique_ptr<Recordset> CreateRecordset() override;
};

// Initialises COM for the dialog's thread (single-threaded apartment) for its lifetime.
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_ = false;
};

}  // namespace vantle
