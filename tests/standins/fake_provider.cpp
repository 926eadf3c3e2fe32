// Stand-in for SQL Server's OLE DB provider (SQLOLEDB), loaded by the real ADO beneath the
// program, since no test machine has the real one. Registered as the ProgID SQLOLEDB, it
// answers exactly what ADO asks of a provider on the way to opening a connection and a
// recordset, and nothing more.
//
// What it does depends on the Data Source it is given (case-insensitive): "unreachable" fails
// Initialize as a server nobody answers does, "refused" as a login the server refuses; with
// "present" the table vantle exists and only `select * from vantle` runs; with neither, every
// command fails as the table's absence does; "slow-<N>" makes Initialize take N ms first. Every
// failure leaves an error object with the real provider's source and words.
//
// Like the stand-in tools it records every call and value it receives, one hex-encoded line
// each, in %VANTLE_FAKE_RECORD_DIR%\provider.calls (see support/standin_calls.h).
#include "standins/fake_provider.h"

#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <string>

#include <wrl/client.h>

#include "standins/record_win.h"

namespace vantle::fake_provider {
namespace {

HMODULE module = nullptr;
std::atomic<long> liveObjects{0};

// A COM object ends through Release, never through delete: no virtual destructor needed.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// A class object of static lifetime: its references only keep the DLL loaded.
class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (interfaceId == IID_IUnknown || interfaceId == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        ObjectCreated();
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        ObjectDestroyed();
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID interfaceId,
                                             void** object) override {
        Record(L"CreateInstance");
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return CreateDataSource(interfaceId, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ObjectCreated();
        } else {
            ObjectDestroyed();
        }
        return S_OK;
    }
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

ClassFactory factory;

}  // namespace

void Record(const std::wstring& event) noexcept {
    try {
        vantle::testing::AppendRecord(L"provider", event);
    } catch (...) {
        // out of memory: the record misses a line, which the test will notice
    }
}

std::wstring HresultText(HRESULT hr) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

HRESULT Fail(HRESULT hr, const IID& failedInterface, const std::wstring& description) noexcept {
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (FAILED(CreateErrorInfo(&create))) return hr;
    create->SetSource(const_cast<LPOLESTR>(kErrorSource));
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    create->SetGUID(failedInterface);
    if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    return hr;
}

void ObjectCreated() noexcept {
    ++liveObjects;
}

void ObjectDestroyed() noexcept {
    --liveObjects;
}

HMODULE ThisModule() noexcept {
    return module;
}

namespace {

constexpr int kServerField = 101, kCancel = 2;  // the dialog's control ids

// The program's dialog, in this process.
HWND FindDialog(DWORD* threadId) {
    HWND dialog = nullptr;
    DWORD processId = 0;
    while ((dialog = FindWindowExW(nullptr, dialog, L"VantleSetupForm1", nullptr)) != nullptr) {
        *threadId = GetWindowThreadProcessId(dialog, &processId);
        if (processId == GetCurrentProcessId()) return dialog;
    }
    return nullptr;
}

// This thread, as a handle another thread can wait for.
HANDLE ThisThread() {
    return OpenThread(SYNCHRONIZE, FALSE, GetCurrentThreadId());
}

// A reference of its own to this DLL, which the worker's apartment may otherwise unload while
// code of it still runs on another thread.
HMODULE PinModule() {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&module),
                       &pinned);
    return pinned;
}

void Post(HWND dialog, LateInput input) {
    switch (input) {
        case LateInput::Key:
            PostMessageW(GetDlgItem(dialog, kServerField), WM_CHAR, L'x', 1);
            break;
        case LateInput::Escape:
            PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            break;
        case LateInput::CancelClick: {
            const HWND cancel = GetDlgItem(dialog, kCancel);
            RECT r{};
            GetClientRect(cancel, &r);
            const LPARAM middle = MAKELPARAM(r.right / 2, r.bottom / 2);
            PostMessageW(cancel, WM_LBUTTONDOWN, MK_LBUTTON, middle);
            PostMessageW(cancel, WM_LBUTTONUP, 0, middle);
            break;
        }
    }
}

struct HeldDialog {
    HWND dialog;
    LateInput input;
    HANDLE dialogThread;
    HANDLE worker;
    HMODULE module;
};

DWORD WINAPI PostOnceTheWorkerHasEnded(void* parameter) {
    const HeldDialog held = *static_cast<HeldDialog*>(parameter);
    delete static_cast<HeldDialog*>(parameter);
    WaitForSingleObject(held.worker, 30000);
    Post(held.dialog, held.input);
    ResumeThread(held.dialogThread);
    Record(L"late input posted");
    CloseHandle(held.worker);
    CloseHandle(held.dialogThread);
    FreeLibraryAndExitThread(held.module, 0);
}

// The dialog's own procedure, and what the Esc's handling waits for (see TakeEscapeAsTheWorkEnds).
WNDPROC dialogProc = nullptr;
HANDLE escapeTaken = nullptr, worker = nullptr;

LRESULT CALLBACK HoldAfterCancel(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcW(dialogProc, window, message, wParam, lParam);
    if (message == WM_COMMAND && LOWORD(wParam) == kCancel) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dialogProc));
        Record(L"escape taken");
        SetEvent(escapeTaken);
        WaitForSingleObject(worker, 30000);
    }
    return result;
}

}  // namespace

void QueueInputAsTheWorkEnds(LateInput input) noexcept {
    DWORD dialogThreadId = 0;
    const HWND dialog = FindDialog(&dialogThreadId);
    auto* held = new (std::nothrow)
        HeldDialog{dialog, input, OpenThread(THREAD_SUSPEND_RESUME, FALSE, dialogThreadId),
                   ThisThread(), PinModule()};
    if (dialog == nullptr || held == nullptr || held->dialogThread == nullptr ||
        held->worker == nullptr || held->module == nullptr) {
        Record(L"late input not posted");
        return;  // the test sees the record missing; the handles go with the process
    }
    // Made before the dialog's thread is held, which may hold a lock thread creation takes.
    const HANDLE poster =
        CreateThread(nullptr, 0, &PostOnceTheWorkerHasEnded, held, CREATE_SUSPENDED, nullptr);
    if (poster == nullptr) return;
    // Held in its wait, not half-way through the repaints and notices the busy look set off.
    Sleep(300);
    SuspendThread(held->dialogThread);
    ResumeThread(poster);
    CloseHandle(poster);
}

void TakeEscapeAsTheWorkEnds() noexcept {
    DWORD dialogThreadId = 0;
    const HWND dialog = FindDialog(&dialogThreadId);
    escapeTaken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    worker = ThisThread();
    // Pinned for good: the held procedure returns into this DLL after the worker has gone.
    if (dialog == nullptr || escapeTaken == nullptr || worker == nullptr ||
        PinModule() == nullptr) {
        Record(L"escape not posted");
        return;
    }
    dialogProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HoldAfterCancel)));
    Post(dialog, LateInput::Escape);
    WaitForSingleObject(escapeTaken, 30000);
}

}  // namespace vantle::fake_provider

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        vantle::fake_provider::module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID interfaceId,
                                                    void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (classId != vantle::fake_provider::kClassId) return CLASS_E_CLASSNOTAVAILABLE;
    return vantle::fake_provider::factory.QueryInterface(interfaceId, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return vantle::fake_provider::liveObjects == 0 ? S_OK : S_FALSE;
}
