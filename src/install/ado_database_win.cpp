#include "install/ado_database_win.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>
// ADO's own interface declarations. MinGW-w64's copy needs -fpermissive in C++ (set for this
// file alone in CMakeLists.txt); Windows SDK's compiles as it is.
#include <msado15.h>

#include "common/error.h"
#include "process/shell_module_win.h"

namespace vantle {
namespace {

using Microsoft::WRL::ComPtr;

// ADO's class identifiers (msado15.dll), as in ADO's own type library.
constexpr CLSID kClsidConnection = {
    0x00000514, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
constexpr CLSID kClsidRecordset = {
    0x00000535, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

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

// ADO's interface identifiers; MinGW's uuid library does not carry them.
constexpr IID kIidConnection = {
    0x00000550, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
constexpr IID kIidRecordset = {
    0x00000556, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

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
    AdoConnection()
        : object_(CreateAdoObject<_ADOConnection>(kClsidConnection, kIidConnection,
                                                  kConnectionSource)) {}
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
    ComPtr<_ADOConnection> object_;
};

class AdoRecordset final : public Recordset {
  public:
    AdoRecordset()
        : object_(
              CreateAdoObject<_ADORecordset>(kClsidRecordset, kIidRecordset, kRecordsetSource)) {}
    void Open(const std::wstring& source, Connection& activeConnection, std::int32_t cursorType,
              std::int32_t lockType, std::int32_t options) override {
        Variant query(source);
        Variant connection(static_cast<AdoConnection&>(activeConnection).Dispatch());
        Check(
            object_->Open(*query.Get(), *connection.Get(), static_cast<CursorTypeEnum>(cursorType),
                          static_cast<LockTypeEnum>(lockType), options),
            kRecordsetSource);
    }
    std::int32_t State() override {
        LONG state = 0;
        Check(object_->get_State(&state), kRecordsetSource);
        return state;
    }
    void Close() override { Check(object_->Close(), kRecordsetSource); }

  private:
    ComPtr<_ADORecordset> object_;
};

}  // namespace

std::unique_ptr<Connection> AdoDatabase::CreateConnection() {
    return std::make_unique<AdoConnection>();
}

std::unique_ptr<Recordset> AdoDatabase::CreateRecordset() {
    try {
        return std::make_unique<AdoRecordset>();
    } catch (const Error&) {
        return nullptr;  // "no recordset could be created"
    }
}

ComApartment::ComApartment()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
    if (initialised_) CoUninitialize();
}

}  // namespace vantle
