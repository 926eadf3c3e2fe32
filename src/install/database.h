#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vantle {

// What the install run needs of ADO, and no more. Every operation raises Error on failure.
inline constexpr std::int32_t kStateOpen = 1;        // adStateOpen
inline constexpr std::int32_t kOpenForwardOnly = 0;  // adOpenForwardOnly
inline constexpr std::int32_t kLockReadOnly = 1;     // adLockReadOnly
inline constexpr std::int32_t kOptionsNone = -1;     // ADO: no options given

class Connection {
  public:
    virtual ~Connection() = default;  // releasing the object
    virtual void Open(const std::wstring& connectionString, const std::wstring& userId,
                      const std::wstring& password, std::int32_t options) = 0;
    virtual std::int32_t State() = 0;
    virtual void Close() = 0;
};

class Recordset {
  public:
    virtual ~Recordset() = default;  // releasing the object
    virtual void Open(const std::wstring& source, Connection& activeConnection,
                      std::int32_t cursorType, std::int32_t lockType, std::int32_t options) = 0;
    virtual std::int32_t State() = 0;
    virtual void Close() = 0;
};

class Database {
  public:
    virtual ~Database() = default;
    virtual std::unique_ptr<Connection> CreateConnection() = 0;
    // Raises when no recordset object can be created.
    virtual std::unique_ptr<Recordset> CreateRecordset() = 0;
};

}  // namespace vantle
