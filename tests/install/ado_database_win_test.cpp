// The ADO adapter over Wine's real ADO, with the stand-in SQL Server provider
// (standins/fake_provider.cpp) registered beneath it as SQLOLEDB, in the kind of apartment the
// program's database thread has: a single-threaded one of its own.
#include "install/ado_database_win.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/com_apartment_win.h"
#include "common/error.h"
#include "install/connection_string.h"
#include "install/table_probe.h"
#include "support/standin_calls.h"
#include "support/win_test_support.h"

namespace vantle {
namespace {

using Microsoft::WRL::ComPtr;
using Events = std::vector<std::wstring>;

constexpr const wchar_t* kProviderSource = L"Microsoft OLE DB Provider for SQL Server";
constexpr std::int32_t kLoginFailed = ErrorNumber(0x80040E4D);  // DB_SEC_E_AUTH_FAILED
constexpr std::int32_t kNoSuchTable = ErrorNumber(0x80040E37);  // DB_E_NOTABLE

// The provider's server name decides how it behaves: "present", "refused", "unreachable", or
// none of those for a server without the tables.
ConnectionSettings On(const std::wstring& server) {
    return {server, L"VantleDb", L"quillmar", L"8vek3"};
}

// "0x80040E4D", as the provider records numbers.
std::wstring HexNumber(std::int32_t number) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(number));
    return text;
}

// What the provider records from now on, in a fresh folder; the folder it recorded in before
// comes back at the end.
class ProviderRecord {
  public:
    ProviderRecord() : before_(32767, L'\0') {
        before_.resize(GetEnvironmentVariableW(kVariable, before_.data(), 32767));
        SetEnvironmentVariableW(kVariable, folder_.Win().c_str());
    }
    ~ProviderRecord() {
        SetEnvironmentVariableW(kVariable, before_.empty() ? nullptr : before_.c_str());
    }
    ProviderRecord(const ProviderRecord&) = delete;
    ProviderRecord& operator=(const ProviderRecord&) = delete;

    // Every call and value the provider received, in order.
    Events All() const {
        Events events;
        for (const auto& call : vantle::testing::ReadCalls(folder_.Path(), L"provider"))
            events.push_back(call.commandLine);
        return events;
    }
    bool Has(const std::wstring& event) const {
        const Events events = All();
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    // The events from the first `first` on; empty when there is none.
    Events From(const std::wstring& first) const {
        const Events events = All();
        return Events(std::find(events.begin(), events.end(), first), events.end());
    }

  private:
    static constexpr const wchar_t* kVariable = L"VANTLE_FAKE_RECORD_DIR";
    const vantle::testing::TempDir folder_{L"provider"};
    std::wstring before_;
};

// As on the program's database thread: a single-threaded apartment of its own.
class AdoOverProvider : public ::testing::Test {
  protected:
    const ComApartment com_;
    const ProviderRecord provider_;
    AdoDatabase database_;
};

TEST_F(AdoOverProvider, OpensAConnectionReportsItOpenAndClosesIt) {
    const auto connection = database_.CreateConnection();
    EXPECT_NE(connection->State(), kStateOpen);
    connection->Open(ConnectionString(On(L"SQLHOST\\present")), L"", L"", kOptionsNone);
    EXPECT_EQ(connection->State(), kStateOpen);
    Events events = provider_.All();
    // Where the provider's network library came from is the DLL search order's business.
    std::erase_if(events, [](const std::wstring& e) { return e.starts_with(L"load "); });
    EXPECT_EQ(
        events,
        (Events{L"CreateInstance", L"SetProperties", L"property Data Source=SQLHOST\\present",
                L"property Initial Catalog=VantleDb", L"property User ID=quillmar",
                L"property Password=8vek3", L"Initialize", L"CreateSession", L"Uninitialize"}));

    connection->Close();
    EXPECT_NE(connection->State(), kStateOpen);
    EXPECT_EQ(provider_.From(L"Uninitialize"), (Events{L"Uninitialize", L"release session"}))
        << "closing lets the session go";
}

// The connection string's quoting against the parser of the platform's OLE DB services: every
// field arrives as exactly its text. (Wine's parser does not undo doubled quotes, so no value
// here holds both kinds of quote.)
TEST_F(AdoOverProvider, HandsTheProviderEveryFieldAsTyped) {
    const ConnectionSettings settings{L" SQLHOST\\present", L"Vantle\"Db;1", L"quill=mar ",
                                      L"8v'k;3"};
    const auto connection = database_.CreateConnection();
    connection->Open(ConnectionString(settings), L"", L"", kOptionsNone);
    EXPECT_EQ(connection->State(), kStateOpen);
    const Events events = provider_.All();
    const Events properties(std::find(events.begin(), events.end(), L"SetProperties") + 1,
                            std::find(events.begin(), events.end(), L"Initialize"));
    EXPECT_EQ(properties, (Events{L"property Data Source= SQLHOST\\present",
                                  L"property Initial Catalog=Vantle\"Db;1",
                                  L"property User ID=quill=mar ", L"property Password=8v'k;3"}));
}

TEST_F(AdoOverProvider, ProbeOpensTheQueryWhereTheTablesExistAndLetsItsObjectsGo) {
    const ProbeOutcome outcome = ProbeTables(database_, On(L"SQLHOST\\present"));
    EXPECT_EQ(outcome.result, ProbeOutcome::Result::TablesPresent);
    EXPECT_FALSE(outcome.error.has_value());
    // Wine's ADO keeps one reference to the data source for good (its Connection.Open never
    // releases the IDBProperties it asks for), so only what comes after can be seen going.
    EXPECT_EQ(provider_.From(L"CreateCommand"),
              (Events{L"CreateCommand", L"SetCommandText select * from vantle", L"Execute",
                      L"release rowset", L"release command", L"release session"}));
}

TEST_F(AdoOverProvider, QueryWhereTheTablesAreMissingRaisesTheProvidersError) {
    {
        const auto connection = database_.CreateConnection();
        connection->Open(ConnectionString(On(L"SQLHOST\\Q1")), L"", L"", kOptionsNone);
        ASSERT_EQ(connection->State(), kStateOpen);
        const auto recordset = database_.CreateRecordset();
        ASSERT_NE(recordset, nullptr);
        try {
            recordset->Open(kProbeQuery, *connection, kOpenForwardOnly, kLockReadOnly,
                            kOptionsNone);
            ADD_FAILURE() << "a query of a missing table opened";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), kNoSuchTable);
            EXPECT_EQ(error.Description(), L"Invalid object name 'vantle'.");
            EXPECT_EQ(error.Source(), kProviderSource);
        }
        EXPECT_NE(recordset->State(), kStateOpen);
    }
    EXPECT_EQ(provider_.From(L"Execute"), (Events{L"Execute", L"Execute failed 0x80040E37",
                                                  L"release command", L"release session"}))
        << "the failed query's objects and the session go with the adapters";

    EXPECT_EQ(ProbeTables(database_, On(L"SQLHOST\\Q1")).result,
              ProbeOutcome::Result::TablesAbsent);
}

TEST_F(AdoOverProvider, LoginRefusedOrServerUnreachableRaisesTheProvidersNumberWordsAndSource) {
    struct Case {
        const wchar_t* server;
        std::int32_t number;
        const wchar_t* description;
    };
    for (const Case& c :
         {Case{L"refused.example", kLoginFailed, L"Login failed for user 'quillmar'."},
          Case{L"unreachable.example", ErrorNumber(0x80004005),  // E_FAIL
               L"[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access "
               L"denied."}}) {
        SCOPED_TRACE(vantle::testing::ToUtf8Text(c.server));
        const ProviderRecord provider;
        const auto connection = database_.CreateConnection();
        try {
            connection->Open(ConnectionString(On(c.server)), L"", L"", kOptionsNone);
            ADD_FAILURE() << "the connection opened";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), c.number);
            EXPECT_EQ(error.Description(), c.description);
            EXPECT_EQ(error.Source(), kProviderSource);
        }
        EXPECT_NE(connection->State(), kStateOpen);
        EXPECT_TRUE(provider.Has(L"Initialize failed " + HexNumber(c.number)));
        EXPECT_FALSE(provider.Has(L"CreateSession"));

        const ProbeOutcome outcome = ProbeTables(database_, On(c.server));
        EXPECT_EQ(outcome.result, ProbeOutcome::Result::Failed);
        ASSERT_TRUE(outcome.error.has_value());
        EXPECT_EQ(outcome.error->Number(), c.number);
        EXPECT_EQ(outcome.error->Description(), c.description);
    }
}

// Why the database thread makes a single-threaded apartment of its own: from the multithreaded
// apartment ADO's connection lives elsewhere behind a proxy, Recordset.Open fails before it
// reaches the provider, and a server that has the tables looks as though it had none.
TEST(AdoInTheMultithreadedApartment, ProbeNeverReachesTheQuery) {
    const ProviderRecord provider;
    ProbeOutcome outcome;
    std::thread([&] {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            AdoDatabase database;
            outcome = ProbeTables(database, On(L"SQLHOST\\present"));
        }
        if (SUCCEEDED(com)) CoUninitialize();
    }).join();
    EXPECT_TRUE(provider.Has(L"CreateSession")) << "the connection opened";
    EXPECT_FALSE(provider.Has(L"SetCommandText select * from vantle"));
    EXPECT_EQ(outcome.result, ProbeOutcome::Result::TablesAbsent);
}

// Stand-ins for ADO's objects, for what the provider cannot see: Wine's ADO passes neither
// Connection.Open's user, password and options nor Recordset.Open's cursor type, lock type and
// options on to it.
// ADO's own type library, read from the module that serves `classId`.
ComPtr<ITypeLib> AdoTypeLibrary(const CLSID& classId) {
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(object.GetAddressOf())),
              S_OK);
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    ComPtr<ITypeLib> library;
    if (object &&
        GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            *reinterpret_cast<LPCWSTR*>(object.Get()), &module) &&
        GetModuleFileNameW(module, path, MAX_PATH) != 0) {
        EXPECT_EQ(LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK) << path;
    }
    return library;
}

// The vtable slot ADO's type library gives a method of `interfaceId` (or of the interfaces it
// builds on); -1 when it names no such method.
int AdoSlot(const CLSID& classId, const IID& interfaceId, const std::wstring& name,
            INVOKEKIND kind) {
    const auto library = AdoTypeLibrary(classId);
    ComPtr<ITypeInfo> info;
    if (!library || FAILED(library->GetTypeInfoOfGuid(interfaceId, &info))) return -1;
    HREFTYPE dual = 0;  // a dual interface's dispatch face leads to its vtable face
    ComPtr<ITypeInfo> vtableFace;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &dual)) &&
        SUCCEEDED(info->GetRefTypeInfo(dual, &vtableFace)))
        info = vtableFace;
    while (info) {
        TYPEATTR* attributes = nullptr;
        if (FAILED(info->GetTypeAttr(&attributes))) return -1;
        const WORD functions = attributes->cFuncs, bases = attributes->cImplTypes;
        info->ReleaseTypeAttr(attributes);
        for (WORD i = 0; i < functions; ++i) {
            FUNCDESC* function = nullptr;
            if (FAILED(info->GetFuncDesc(i, &function))) continue;
            BSTR functionName = nullptr;
            info->GetDocumentation(function->memid, &functionName, nullptr, nullptr, nullptr);
            const bool found =
                functionName != nullptr && name == functionName && function->invkind == kind;
            const int slot = function->oVft / static_cast<int>(sizeof(void*));
            SysFreeString(functionName);
            info->ReleaseFuncDesc(function);
            if (found) return slot;
        }
        HREFTYPE base = 0;
        ComPtr<ITypeInfo> baseInfo;
        if (bases == 0 || FAILED(info->GetRefTypeOfImplType(0, &base)) ||
            FAILED(info->GetRefTypeInfo(base, &baseInfo)))
            return -1;
        info = baseInfo;
    }
    return -1;
}

// A stand-in ADO object built slot by slot, independently of the adapter's declarations:
// a call through a slot other than the one ADO's type library names lands in a recorder of
// wrong slots. The methods under test record their arguments. (The x64 calling convention
// lets a recorder take fewer arguments than its caller passes.)
struct StandIn {
    using Slot = void (*)();
    static constexpr std::size_t kSlots = 64;

    const Slot* vtable = nullptr;
    std::array<Slot, kSlots> slots{};
    std::vector<std::size_t> wrongSlots;
    ULONG references = 1;
    HRESULT openResult = S_OK;
    LONG state = 0;
    int opens = 0, closes = 0;
    std::wstring text, user, password;
    VARTYPE connectionType = VT_EMPTY;
    IDispatch* connection = nullptr;
    LONG cursorType = 99, lockType = 99, options = 99;

    StandIn() {
        vtable = slots.data();
        FillWithWrongSlots(std::make_index_sequence<kSlots>());
        slots[0] = reinterpret_cast<Slot>(&QueryInterface);
        slots[1] = reinterpret_cast<Slot>(&AddRef);
        slots[2] = reinterpret_cast<Slot>(&Release);
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    template <typename Function>
    void Put(int slot, Function* function) {
        ASSERT_GT(slot, 2) << "ADO's type library names no such method";
        slots.at(static_cast<std::size_t>(slot)) = reinterpret_cast<Slot>(function);
    }
    template <typename Interface>
    Interface* As() {
        return reinterpret_cast<Interface*>(this);
    }

  private:
    template <std::size_t... Index>
    void FillWithWrongSlots(std::index_sequence<Index...>) {
        ((slots[Index] = reinterpret_cast<Slot>(&WrongSlot<Index>)), ...);
    }
    template <std::size_t Index>
    static HRESULT STDMETHODCALLTYPE WrongSlot(StandIn* self) {
        self->wrongSlots.push_back(Index);
        return E_NOTIMPL;
    }
    static HRESULT STDMETHODCALLTYPE QueryInterface(StandIn* self, REFIID, void** out) {
        *out = self;
        ++self->references;
        return S_OK;
    }
    static ULONG STDMETHODCALLTYPE AddRef(StandIn* self) { return ++self->references; }
    static ULONG STDMETHODCALLTYPE Release(StandIn* self) { return --self->references; }
};

HRESULT STDMETHODCALLTYPE GetState(StandIn* self, LONG* state) {
    *state = self->state;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CloseObject(StandIn* self) {
    ++self->closes;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE OpenConnection(StandIn* self, BSTR text, BSTR user, BSTR password,
                                         LONG options) {
    ++self->opens;
    self->text = text, self->user = user, self->password = password, self->options = options;
    return self->openResult;
}

HRESULT STDMETHODCALLTYPE OpenRecordset(StandIn* self, VARIANT source, VARIANT connection,
                                        LONG cursorType, LONG lockType, LONG options) {
    ++self->opens;
    if (source.vt == VT_BSTR) self->text = source.bstrVal;
    self->connectionType = connection.vt;
    if (connection.vt == VT_DISPATCH) self->connection = connection.pdispVal;
    self->cursorType = cursorType, self->lockType = lockType, self->options = options;
    return self->openResult;
}

// A stand-in Connection with Open, State and Close where ADO's _Connection has them.
void MakeConnection(StandIn& standIn) {
    const auto slot = [](const wchar_t* name, INVOKEKIND kind) {
        return AdoSlot(ado::kClsidConnection, ado::kIidConnection, name, kind);
    };
    standIn.Put(slot(L"Open", INVOKE_FUNC), &OpenConnection);
    standIn.Put(slot(L"State", INVOKE_PROPERTYGET), &GetState);
    standIn.Put(slot(L"Close", INVOKE_FUNC), &CloseObject);
}

// A stand-in Recordset with Open, State and Close where ADO's _Recordset has them.
void MakeRecordset(StandIn& standIn) {
    const auto slot = [](const wchar_t* name, INVOKEKIND kind) {
        return AdoSlot(ado::kClsidRecordset, ado::kIidRecordset, name, kind);
    };
    standIn.Put(slot(L"Open", INVOKE_FUNC), &OpenRecordset);
    standIn.Put(slot(L"State", INVOKE_PROPERTYGET), &GetState);
    standIn.Put(slot(L"Close", INVOKE_FUNC), &CloseObject);
}

TEST(AdoAdapter, PassesTheConnectionsArgumentsToAdoUnchanged) {
    const ComApartment com;
    StandIn object;
    MakeConnection(object);
    {
        const auto connection = AdaptAdoConnection(object.As<ado::Connection15>());
        connection->Open(L"Provider=sqloledb;Data Source=s", L"", L"", kOptionsNone);
        EXPECT_EQ(object.text, L"Provider=sqloledb;Data Source=s");
        EXPECT_EQ(object.user, L"");
        EXPECT_EQ(object.password, L"");
        EXPECT_EQ(object.options, kOptionsNone);

        object.state = kStateOpen;
        EXPECT_EQ(connection->State(), kStateOpen);
        connection->Close();
        EXPECT_EQ(object.closes, 1);
    }
    EXPECT_EQ(object.opens, 1);
    EXPECT_EQ(object.wrongSlots, std::vector<std::size_t>{}) << "calls missed ADO's slots";
    EXPECT_EQ(object.references, 1u) << "the adapter keeps or loses a reference";
}

TEST(AdoAdapter, OpensTheProbeForwardOnlyReadOnlyWithoutOptionsOverTheConnection) {
    const ComApartment com;
    StandIn connectionObject, recordsetObject;
    MakeConnection(connectionObject);
    MakeRecordset(recordsetObject);
    {
        const auto connection = AdaptAdoConnection(connectionObject.As<ado::Connection15>());
        const auto recordset = AdaptAdoRecordset(recordsetObject.As<ado::Recordset15>());
        recordset->Open(L"select * from vantle", *connection, kOpenForwardOnly, kLockReadOnly,
                        kOptionsNone);
        EXPECT_EQ(recordsetObject.text, L"select * from vantle");
        EXPECT_EQ(recordsetObject.cursorType, 0) << "adOpenForwardOnly";
        EXPECT_EQ(recordsetObject.lockType, 1) << "adLockReadOnly";
        EXPECT_EQ(recordsetObject.options, -1) << "no options";
        EXPECT_EQ(recordsetObject.connectionType, VT_DISPATCH);
        EXPECT_EQ(recordsetObject.connection, connectionObject.As<IDispatch>())
            << "the query runs over the run's own connection";

        recordsetObject.state = kStateOpen;
        EXPECT_EQ(recordset->State(), kStateOpen);
        recordset->Close();
        EXPECT_EQ(recordsetObject.closes, 1);
    }
    EXPECT_EQ(recordsetObject.wrongSlots, std::vector<std::size_t>{}) << "calls missed ADO's slots";
    EXPECT_EQ(recordsetObject.references, 1u);
    EXPECT_EQ(connectionObject.references, 1u) << "the query keeps the connection";
}

}  // namespace
}  // namespace vantle
