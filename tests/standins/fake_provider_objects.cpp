// The stand-in provider's objects: data source, session, command and rowset. Each holds a
// reference to the one it came from, as a provider's objects do, so the data source goes last.
// Reference counts are atomic and no object keeps thread state, so every object works from
// whatever apartment or thread calls it.
#include <windows.h>
#include <oleauto.h>
#include <oledb.h>
#include <oledberr.h>

#include <atomic>
#include <cstdio>
#include <cwctype>
#include <initializer_list>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include <wrl/client.h>

#include "standins/fake_provider.h"

// COM objects end through Release, which deletes through the object's own (virtual)
// destructor; the interfaces themselves have none.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace vantle::fake_provider {
namespace {

using Microsoft::WRL::ComPtr;

// Not in MinGW's libuuid.
constexpr GUID kDbInitProperties = {
    0xc8b522bc, 0x5cf3, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
// Wine's OLE DB services pass "Initial Catalog" as DBPROP_CATALOGLOCATION (0x16); Windows'
// as DBPROP_INIT_CATALOG.
constexpr DBPROPID kWineCatalog = 0x16;

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool Contains(const std::wstring& text, const wchar_t* part) {
    return Lower(text).find(part) != std::wstring::npos;
}

// N from "slow-N" in the data source; 0 without.
DWORD StartDelay(const std::wstring& dataSource) {
    const std::wstring text = Lower(dataSource);
    const auto at = text.find(L"slow-");
    return at == std::wstring::npos ? 0 : std::wcstoul(text.c_str() + at + 5, nullptr, 10);
}

std::wstring PropertyName(DBPROPID id) {
    switch (id) {
        case DBPROP_INIT_DATASOURCE:
            return L"Data Source";
        case DBPROP_AUTH_USERID:
            return L"User ID";
        case DBPROP_AUTH_PASSWORD:
            return L"Password";
        case kWineCatalog:
        case DBPROP_INIT_CATALOG:
            return L"Initial Catalog";
        default:
            wchar_t hex[16];
            std::swprintf(hex, 16, L"0x%lx", static_cast<unsigned long>(id));
            return hex;
    }
}

std::wstring ValueText(const VARIANT& value) {
    switch (value.vt) {
        case VT_BSTR:
            return value.bstrVal != nullptr
                       ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                       : L"";
        case VT_I4:
            return std::to_wstring(value.lVal);
        case VT_I2:
            return std::to_wstring(value.iVal);
        case VT_BOOL:
            return std::to_wstring(value.boolVal);
        default:
            return L"(variant type " + std::to_wstring(value.vt) + L")";
    }
}

// The reference count every object shares; the last Release deletes.
class Counted {
  public:
    Counted() { ObjectCreated(); }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    virtual ~Counted() { ObjectDestroyed(); }

  protected:
    ULONG AddReference() { return ++references_; }
    ULONG DropReference() {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

  private:
    std::atomic<ULONG> references_{1};
};

struct Face {
    const IID& id;
    IUnknown* object;
};

// Hands out the face `interfaceId` names, if the object has it.
HRESULT Answer(REFIID interfaceId, void** object, std::initializer_list<Face> faces) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    for (const Face& face : faces) {
        if (interfaceId == IID_IUnknown || interfaceId == face.id) {
            face.object->AddRef();
            *object = face.object;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

// Hands a new object out as `interfaceId`; the caller's reference is the only one left.
template <typename Object>
HRESULT HandOut(Object* created, REFIID interfaceId, IUnknown** out) {
    if (created == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(interfaceId, reinterpret_cast<void**>(out));
    created->Release();
    return hr;
}

// An empty result: what `select * from vantle` gives on a server that has the table.
class Rowset final : public Counted, public IRowset {
  public:
    explicit Rowset(ComPtr<IUnknown> command) : command_(std::move(command)) {}
    ~Rowset() override { Record(L"release rowset"); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override {
        return Answer(interfaceId, object, {{IID_IRowset, this}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return DropReference(); }

    HRESULT STDMETHODCALLTYPE AddRefRows(DBCOUNTITEM rows, const HROW[], DBREFCOUNT[],
                                         DBROWSTATUS[]) override {
        return rows == 0 ? S_OK : DB_E_BADROWHANDLE;
    }
    HRESULT STDMETHODCALLTYPE GetData(HROW, HACCESSOR, void*) override { return DB_E_BADROWHANDLE; }
    HRESULT STDMETHODCALLTYPE GetNextRows(HCHAPTER, DBROWOFFSET, DBROWCOUNT, DBCOUNTITEM* obtained,
                                          HROW**) override {
        if (obtained == nullptr) return E_INVALIDARG;
        *obtained = 0;
        return DB_S_ENDOFROWSET;
    }
    HRESULT STDMETHODCALLTYPE ReleaseRows(DBCOUNTITEM rows, const HROW[], DBROWOPTIONS[],
                                          DBREFCOUNT[], DBROWSTATUS[]) override {
        return rows == 0 ? S_OK : DB_E_BADROWHANDLE;
    }
    HRESULT STDMETHODCALLTYPE RestartPosition(HCHAPTER) override { return S_OK; }

  private:
    ComPtr<IUnknown> command_;
};

class Command final : public Counted, public ICommandText {
  public:
    Command(ComPtr<IUnknown> session, std::wstring server)
        : session_(std::move(session)), server_(std::move(server)) {}
    ~Command() override { Record(L"release command"); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override {
        return Answer(interfaceId, object,
                      {{IID_ICommandText, this}, {IID_ICommand, static_cast<ICommand*>(this)}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return DropReference(); }

    HRESULT STDMETHODCALLTYPE Cancel() override { return DB_E_CANTCANCEL; }
    HRESULT STDMETHODCALLTYPE Execute(IUnknown* outer, REFIID interfaceId, DBPARAMS*,
                                      DBROWCOUNT* rowsAffected, IUnknown** rowset) override {
        Record(L"Execute");
        if (rowset != nullptr) *rowset = nullptr;
        if (rowsAffected != nullptr) *rowsAffected = DB_COUNTUNAVAILABLE;
        std::wstring text;
        {
            const std::lock_guard lock(mutex_);
            text = text_;
        }
        HRESULT hr = S_OK;
        std::wstring description;
        if (outer != nullptr) {
            hr = DB_E_NOAGGREGATION;
        } else if (text.empty()) {
            hr = DB_E_NOCOMMAND, description = L"No command text was set.";
        } else if (!Contains(server_, L"present")) {
            hr = DB_E_NOTABLE, description = L"Invalid object name 'vantle'.";
        } else if (CompareStringOrdinal(text.c_str(), -1, L"select * from vantle", -1, TRUE) !=
                   CSTR_EQUAL) {
            hr = DB_E_ERRORSINCOMMAND, description = L"Incorrect syntax near '" + text + L"'.";
        } else if (interfaceId == IID_NULL) {
            return S_OK;  // the caller wants no rowset
        } else if (rowset == nullptr) {
            hr = E_INVALIDARG;
        } else {
            ComPtr<IUnknown> self(static_cast<ICommand*>(this));
            hr = HandOut(new (std::nothrow) Rowset(self), interfaceId, rowset);
            if (SUCCEEDED(hr)) {
                LandLateInput();
                return hr;
            }
        }
        Record(L"Execute failed " + HresultText(hr));
        LandLateInput();
        return description.empty() ? hr : Fail(hr, IID_ICommand, description);
    }
    HRESULT STDMETHODCALLTYPE GetDBSession(REFIID interfaceId, IUnknown** session) override {
        if (session == nullptr) return E_INVALIDARG;
        return session_->QueryInterface(interfaceId, reinterpret_cast<void**>(session));
    }
    HRESULT STDMETHODCALLTYPE GetCommandText(GUID*, LPOLESTR* text) override {
        if (text != nullptr) *text = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetCommandText(REFGUID, LPCOLESTR text) override {
        const std::wstring value = text != nullptr ? text : L"";
        Record(L"SetCommandText " + value);
        const std::lock_guard lock(mutex_);
        text_ = value;
        return S_OK;
    }

  private:
    // The probe ends with this call, whatever it answers: the moment to try the dialog with.
    void LandLateInput() const {
        if (Contains(server_, L"latekey")) QueueInputAsTheWorkEnds(LateInput::Key);
        if (Contains(server_, L"lateesc")) QueueInputAsTheWorkEnds(LateInput::Escape);
        if (Contains(server_, L"lateclick")) QueueInputAsTheWorkEnds(LateInput::CancelClick);
        if (Contains(server_, L"lastround")) TakeEscapeAsTheWorkEnds();
    }

    const ComPtr<IUnknown> session_;
    const std::wstring server_;
    std::mutex mutex_;
    std::wstring text_;
};

// Its server is the data source's at the time it was made: ADO uninitialises the data source
// right after making its session and goes on using the session.
class Session final : public Counted, public IOpenRowset, public IDBCreateCommand {
  public:
    Session(ComPtr<IUnknown> dataSource, std::wstring server)
        : dataSource_(std::move(dataSource)), server_(std::move(server)) {}
    ~Session() override { Record(L"release session"); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override {
        return Answer(interfaceId, object,
                      {{IID_IOpenRowset, static_cast<IOpenRowset*>(this)},
                       {IID_IDBCreateCommand, static_cast<IDBCreateCommand*>(this)}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return DropReference(); }

    // ADO needs the interface, not the call: its queries run through commands.
    HRESULT STDMETHODCALLTYPE OpenRowset(IUnknown*, DBID*, DBID*, REFIID, ULONG, DBPROPSET[],
                                         IUnknown** rowset) override {
        if (rowset != nullptr) *rowset = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateCommand(IUnknown* outer, REFIID interfaceId,
                                            IUnknown** command) override {
        Record(L"CreateCommand");
        if (command == nullptr) return E_INVALIDARG;
        *command = nullptr;
        if (outer != nullptr) return DB_E_NOAGGREGATION;
        ComPtr<IUnknown> self(static_cast<IOpenRowset*>(this));
        return HandOut(new (std::nothrow) Command(self, server_), interfaceId, command);
    }

  private:
    const ComPtr<IUnknown> dataSource_;
    const std::wstring server_;
};

class DataSource final : public Counted,
                         public IDBInitialize,
                         public IDBProperties,
                         public IDBCreateSession {
  public:
    ~DataSource() override { Record(L"release data source"); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override {
        return Answer(interfaceId, object,
                      {{IID_IDBInitialize, static_cast<IDBInitialize*>(this)},
                       {IID_IDBProperties, static_cast<IDBProperties*>(this)},
                       {IID_IDBCreateSession, static_cast<IDBCreateSession*>(this)}});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return DropReference(); }

    HRESULT STDMETHODCALLTYPE Initialize() override {
        Record(L"Initialize");
        std::wstring server, user;
        {
            const std::lock_guard lock(mutex_);
            if (initialized_) return DB_E_ALREADYINITIALIZED;
            server = server_, user = user_;
        }
        // A server that is slow to answer keeps the caller waiting here, as a real login does.
        if (const DWORD delay = StartDelay(server); delay != 0) Sleep(delay);
        LoadNetworkLibrary();

        HRESULT hr = S_OK;
        std::wstring description;
        if (Contains(server, L"unreachable")) {
            hr = E_FAIL;
            description =
                L"[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access "
                L"denied.";
        } else if (Contains(server, L"refused")) {
            hr = DB_SEC_E_AUTH_FAILED, description = L"Login failed for user '" + user + L"'.";
        }
        if (FAILED(hr)) {
            Record(L"Initialize failed " + HresultText(hr));
            return Fail(hr, IID_IDBInitialize, description);
        }
        const std::lock_guard lock(mutex_);
        initialized_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Uninitialize() override {
        Record(L"Uninitialize");
        const std::lock_guard lock(mutex_);
        initialized_ = false;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetProperties(ULONG, const DBPROPIDSET[], ULONG* count,
                                            DBPROPSET** sets) override {
        if (count != nullptr) *count = 0;
        if (sets != nullptr) *sets = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyInfo(ULONG, const DBPROPIDSET[], ULONG* count,
                                              DBPROPINFOSET** sets, OLECHAR** texts) override {
        if (count != nullptr) *count = 0;
        if (sets != nullptr) *sets = nullptr;
        if (texts != nullptr) *texts = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetProperties(ULONG setCount, DBPROPSET sets[]) override {
        Record(L"SetProperties");
        if (setCount != 0 && sets == nullptr) return E_INVALIDARG;
        ULONG taken = 0, refused = 0;
        for (ULONG s = 0; s < setCount; ++s) {
            const bool initialisation = sets[s].guidPropertySet == kDbInitProperties;
            for (ULONG p = 0; p < sets[s].cProperties; ++p) {
                DBPROP& property = sets[s].rgProperties[p];
                if (!initialisation) {
                    property.dwStatus = DBPROPSTATUS_NOTSUPPORTED, ++refused;
                    continue;
                }
                const std::wstring value = ValueText(property.vValue);
                Record(L"property " + PropertyName(property.dwPropertyID) + L"=" + value);
                const std::lock_guard lock(mutex_);
                if (property.dwPropertyID == DBPROP_INIT_DATASOURCE) server_ = value;
                if (property.dwPropertyID == DBPROP_AUTH_USERID) user_ = value;
                property.dwStatus = DBPROPSTATUS_OK, ++taken;
            }
        }
        if (refused == 0) return S_OK;
        return taken == 0 ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED;
    }

    HRESULT STDMETHODCALLTYPE CreateSession(IUnknown* outer, REFIID interfaceId,
                                            IUnknown** session) override {
        Record(L"CreateSession");
        if (session == nullptr) return E_INVALIDARG;
        *session = nullptr;
        if (outer != nullptr) return DB_E_NOAGGREGATION;
        std::wstring server;
        {
            const std::lock_guard lock(mutex_);
            if (!initialized_) return E_UNEXPECTED;
            server = server_;
        }
        ComPtr<IUnknown> self(static_cast<IDBInitialize*>(this));
        return HandOut(new (std::nothrow) Session(self, server), interfaceId, session);
    }

  private:
    // SQL Server's provider loads its network library by bare name at this point; recording
    // which file, if any, a bare name reaches shows where the program lets DLLs come from.
    static void LoadNetworkLibrary() {
        const HMODULE library = LoadLibraryW(L"vantle_netlib.dll");
        if (library == nullptr) {
            Record(L"load vantle_netlib.dll: not found");
            return;
        }
        wchar_t path[MAX_PATH * 4];
        const DWORD length = GetModuleFileNameW(library, path, MAX_PATH * 4);
        Record(L"load vantle_netlib.dll: " + std::wstring(path, length));
        FreeLibrary(library);
    }

    std::mutex mutex_;
    std::wstring server_, user_;
    bool initialized_ = false;
};

}  // namespace

HRESULT CreateDataSource(const IID& interfaceId, void** object) noexcept {
    return HandOut(new (std::nothrow) DataSource(), interfaceId,
                   reinterpret_cast<IUnknown**>(object));
}

}  // namespace vantle::fake_provider

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
