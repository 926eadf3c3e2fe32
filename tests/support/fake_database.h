#pragma once

// An in-process stand-in for ADO and SQL Server, written from what the install run expects of
// them: open from a connection string (or fail with a number and description), a state query
// on connection and recordset, a forward-only read-only query that fails when the table is
// missing, close. Every call is written to `record` in order.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "common/error.h"
#include "install/database.h"

namespace vantle::testing {

struct FakeServer {
    bool tablesExist = false;
    std::optional<Error> openFailure;        // the connection cannot be opened
    bool connectionNotOpen = false;          // Open succeeds but State is not adStateOpen
    bool noRecordset = false;                // no recordset object can be created
    bool probeFailsOtherwise = false;        // the probe fails for a reason other than the table
    bool recordsetStateFails = false;        // the recordset's State query raises
    bool closeFails = false;                 // every Close raises
    std::chrono::milliseconds openDelay{0};  // a server slow to answer the login
    std::function<void(const std::wstring&)> record = [](const std::wstring&) {};
};

inline const Error kMissingTable(ErrorNumber(0x80040E37u),
                                 L"Microsoft OLE DB Provider for SQL Server",
                                 L"Invalid object name 'vantle'.");
inline const Error kLoginFailed(ErrorNumber(0x80040E4Du),
                                L"Microsoft OLE DB Provider for SQL Server",
                                L"Login failed for user 'quillmar'.");

class FakeConnection final : public Connection {
  public:
    explicit FakeConnection(FakeServer& server) : server_(server) {}
    ~FakeConnection() override { server_.record(L"connection release"); }
    void Open(const std::wstring& connectionString, const std::wstring& userId,
              const std::wstring& password, std::int32_t options) override {
        server_.record(L"connection open " + connectionString + L" | user=" + userId +
                       L" | password=" + password + L" | options=" + std::to_wstring(options));
        std::this_thread::sleep_for(server_.openDelay);
        if (server_.openFailure) throw *server_.openFailure;
        open_ = !server_.connectionNotOpen;
    }
    std::int32_t State() override {
        server_.record(L"connection state");
        return open_ ? kStateOpen : 0;
    }
    void Close() override {
        server_.record(L"connection close");
        if (server_.closeFails)
            throw Error(ErrorNumber(0x800A0E78u), L"ADODB.Connection", L"closed");
        open_ = false;
    }
    bool IsOpen() const { return open_; }

  private:
    FakeServer& server_;
    bool open_ = false;
};

class FakeRecordset final : public Recordset {
  public:
    explicit FakeRecordset(FakeServer& server) : server_(server) {}
    ~FakeRecordset() override { server_.record(L"recordset release"); }
    void Open(const std::wstring& source, Connection& activeConnection, std::int32_t cursorType,
              std::int32_t lockType, std::int32_t options) override {
        server_.record(L"recordset open " + source + L" | cursor=" + std::to_wstring(cursorType) +
                       L" | lock=" + std::to_wstring(lockType) + L" | options=" +
                       std::to_wstring(options));
        if (!static_cast<FakeConnection&>(activeConnection).IsOpen())
            throw Error(ErrorNumber(0x800A0E7Du), L"ADODB.Recordset", L"connection not open");
        if (server_.probeFailsOtherwise)
            throw Error(ErrorNumber(0x80004005u), L"Microsoft OLE DB Provider for SQL Server",
                        L"General network error.");
        if (!server_.tablesExist) throw kMissingTable;
        open_ = true;
    }
    std::int32_t State() override {
        server_.record(L"recordset state");
        if (server_.recordsetStateFails)
            throw Error(ErrorNumber(0x800A0CB3u), L"ADODB.Recordset", L"not supported");
        return open_ ? kStateOpen : 0;
    }
    void Close() override {
        server_.record(L"recordset close");
        if (server_.closeFails)
            throw Error(ErrorNumber(0x800A0E78u), L"ADODB.Recordset", L"closed");
        open_ = false;
    }

  private:
    FakeServer& server_;
    bool open_ = false;
};

class FakeDatabase final : public Database {
  public:
    explicit FakeDatabase(FakeServer& server) : server_(server) {}
    std::unique_ptr<Connection> CreateConnection() override {
        server_.record(L"create connection");
        return std::make_unique<FakeConnection>(server_);
    }
    std::unique_ptr<Recordset> CreateRecordset() override {
        server_.record(L"create recordset");
        if (server_.noRecordset)
            throw Error(ErrorNumber(0x80040154u), L"ADODB.Recordset", L"Class not registered.");
        return std::make_unique<FakeRecordset>(server_);
    }

  private:
    FakeServer& server_;
};

}  // namespace vantle::testing
