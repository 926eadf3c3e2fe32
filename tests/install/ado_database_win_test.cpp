// The real ADO adapter under Wine, where no SQL Server provider is registered.
#include "install/ado_database_win.h"

#include <windows.h>
#include <oleauto.h>

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/com_apartment_win.h"
#include "common/error.h"

namespace vantle {
namespace {

using Microsoft::WRL::ComPtr;

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

TEST(AdoAdapter, RaisesWhatAdoFailedWith) {
    const ComApartment com;
    StandIn connectionObject, recordsetObject;
    MakeConnection(connectionObject);
    MakeRecordset(recordsetObject);
    const auto connection = AdaptAdoConnection(connectionObject.As<ado::Connection15>());
    const auto recordset = AdaptAdoRecordset(recordsetObject.As<ado::Recordset15>());
    constexpr HRESULT kNoSuchTable = static_cast<HRESULT>(0x80040E37);
    recordsetObject.openResult = kNoSuchTable;
    try {
        recordset->Open(L"select * from vantle", *connection, kOpenForwardOnly, kLockReadOnly,
                        kOptionsNone);
        ADD_FAILURE() << "a failed open went unnoticed";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), kNoSuchTable);
        EXPECT_FALSE(error.Description().empty());
    }
}

TEST(AdoDatabase, OpeningWithoutTheProviderFailsWithNumberAndDescription) {
    const ComApartment com;
    AdoDatabase database;
    const auto attempt = [&] {
        auto connection = database.CreateConnection();
        try {
            connection->Open(
                L"Provider=sqloledb;Data Source=nowhere;Initial Catalog=x;"
                L"User Id=quillmar;Password=8vek3",
                L"", L"", -1);
            ADD_FAILURE() << "opened a connection without a provider";
        } catch (const Error& error) {
            EXPECT_LT(error.Number(), 0) << "an HRESULT failure code";
            EXPECT_FALSE(error.Description().empty());
        }
        EXPECT_NE(connection->State(), kStateOpen);
    };
    attempt();  // first use loads ADO and OLE DB for good

    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 20; ++i) attempt();
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_EQ(after, before) << "handles leaked";
}

TEST(AdoDatabase, CreatesRecordsets) {
    const ComApartment com;
    AdoDatabase database;
    const auto recordset = database.CreateRecordset();
    ASSERT_NE(recordset, nullptr);
    EXPECT_NE(recordset->State(), kStateOpen);
}

}  // namespace
}  // namespace vantle
