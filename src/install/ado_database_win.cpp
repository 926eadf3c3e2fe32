#include "install/ado_database_win.h"

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <utility>

#include "common/error.h"
#include "common/system_message_win.h"

namespace vantle {
namespace {

using Microsoft::WRL::ComPtr;

// SysAllocStringLen, failing the way everything else here fails.
BSTR AllocateBstr(const std::wstring& text) {
    const BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (value == nullptr) throw Error(ErrorNumber(E_OUTOFMEMORY), L"ADO", L"Out of memory");
    return value;
}

// Owns one VARIANT.
class Variant {
  public:
    Variant() { VariantInit(&value_); }
    explicit Variant(const std::wstring& text) : Variant() {
        value_.bstrVal = AllocateBstr(text);
        value_.vt = VT_BSTR;
    }
    explicit Variant(IDispatch* object) : Variant() {
        value_.vt = VT_DISPATCH;
        value_.pdispVal = object;
        object->AddRef();
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }
    VARIANT* Get() { return &value_; }

  private:
    VARIANT value_;
};

std::wstring FromBstr(BSTR text) {
    return text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
}

// The error an ADO call failed with: ADO and the provider leave their own number's
// description in the thread's error object; the system's text stands in when they did not.
[[noreturn]] void RaiseComError(HRESULT hr, const wchar_t* fallbackSource) {
    ComPtr<IErrorInfo> errorInfo;
    std::wstring description, source = fallbackSource;
    if (GetErrorInfo(0, &errorInfo) == S_OK && errorInfo) {
        BSTR text = nullptr;
        if (SUCCEEDED(errorInfo->GetDescription(&text))) description = FromBstr(text);
        SysFreeString(text);
        text = nullptr;
        if (SUCCEEDED(errorInfo->GetSource(&text)) && SysStringLen(text) != 0)
            source = FromBstr(text);
        SysFreeString(text);
    }
    if (description.empty()) description = SystemMessage(static_cast<DWORD>(hr));
    throw Error(static_cast<std::int32_t>(hr), source, description);
}

template <typename Interface>
ComPtr<Interface> CreateAdoObject(const CLSID& classId, const IID& interfaceId,
                                  const wchar_t* source) {
    ComPtr<Interface> object;
    const HRESULT hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, interfaceId,
                                        reinterpret_cast<void**>(object.GetAddressOf()));
    if (FAILED(hr)) RaiseComError(hr, source);
    return object;
}

void Check(HRESULT hr, const wchar_t* source) {
    if (FAILED(hr)) RaiseComError(hr, source);
}

class Bstr {
  public:
    explicit Bstr(const std::wstring& text) : value_(AllocateBstr(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR Get() const { return value_; }

  private:
    BSTR value_;
};

constexpr const wchar_t* kConnectionSource = L"ADODB.Connection";
constexpr const wchar_t* kRecordsetSource = L"ADODB.Recordset";

class AdoConnection final : public Connection {
  public:
    explicit AdoConnection(ComPtr<ado::Connection15> object) : object_(std::move(object)) {}
    void Open(const std::wstring& connectionString, const std::wstring& userId,
              const std::wstring& password, std::int32_t options) override {
        const Bstr text(connectionString), user(userId), secret(password);
        Check(object_->Open(text.Get(), user.Get(), secret.Get(), options), kConnectionSource);
    }
    std::int32_t State() override {
        LONG state = 0;
        Check(object_->get_State(&state), kConnectionSource);
        return state;
    }
    void Close() override { Check(object_->Close(), kConnectionSource); }
    IDispatch* Dispatch() const { return object_.Get(); }

  private:
    ComPtr<ado::Connection15> object_;
};

class AdoRecordset final : public Recordset {
  public:
    explicit AdoRecordset(ComPtr<ado::Recordset15> object) : object_(std::move(object)) {}
    void Open(const std::wstring& source, Connection& activeConnection, std::int32_t cursorType,
              std::int32_t lockType, std::int32_t options) override {
        Variant query(source);
        Variant connection(static_cast<AdoConnection&>(activeConnection).Dispatch());
        Check(object_->Open(*query.Get(), *connection.Get(), cursorType, lockType, options),
              kRecordsetSource);
    }
    std::int32_t State() override {
        LONG state = 0;
        Check(object_->get_State(&state), kRecordsetSource);
        return state;
    }
    void Close() override { Check(object_->Close(), kRecordsetSource); }

  private:
    ComPtr<ado::Recordset15> object_;
};

}  // namespace

std::unique_ptr<Connection> AdaptAdoConnection(ComPtr<ado::Connection15> object) {
    return std::make_unique<AdoConnection>(std::move(object));
}

std::unique_ptr<Recordset> AdaptAdoRecordset(ComPtr<ado::Recordset15> object) {
    return std::make_unique<AdoRecordset>(std::move(object));
}

std::unique_ptr<Connection> AdoDatabase::CreateConnection() {
    return AdaptAdoConnection(CreateAdoObject<ado::Connection15>(
        ado::kClsidConnection, ado::kIidConnection, kConnectionSource));
}

std::unique_ptr<Recordset> AdoDatabase::CreateRecordset() {
    return AdaptAdoRecordset(CreateAdoObject<ado::Recordset15>(
        ado::kClsidRecordset, ado::kIidRecordset, kRecordsetSource));
}

}  // namespace vantle
