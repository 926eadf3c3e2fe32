// The yardstick for the time from OK to the re-run question: a bare program with one OK button
// (the dialog's control id) that, when clicked, makes the ADO calls the probe makes, on its own
// thread, and then asks the question in a box with the same title and buttons. COM is set up
// once at start as a single-threaded apartment, as a program with no window to keep alive
// during the calls would do it, and no COM object is made before the click, so ADO and the
// provider load on the click as they do in the program. The connection string is the whole
// command line.
#include <windows.h>
#include <oleauto.h>

#include "bare_ok_window_win.h"
#include "install/ado_interfaces_win.h"

namespace {

const wchar_t* connectionString = L"";

// ADO's own values, as the program passes them.
constexpr LONG kOpenForwardOnly = 0;  // adOpenForwardOnly
constexpr LONG kLockReadOnly = 1;     // adLockReadOnly
constexpr LONG kOptionsNone = -1;     // adOptionUnspecified

void ProbeAndAsk(HWND window) {
    vantle::ado::Connection15* connection = nullptr;
    vantle::ado::Recordset15* recordset = nullptr;
    CoCreateInstance(vantle::ado::kClsidConnection, nullptr, CLSCTX_INPROC_SERVER,
                     vantle::ado::kIidConnection, reinterpret_cast<void**>(&connection));
    if (connection != nullptr) {
        const BSTR text = SysAllocString(connectionString);
        const BSTR empty = SysAllocString(L"");
        connection->Open(text, empty, empty, kOptionsNone);
        SysFreeString(empty);
        SysFreeString(text);
        CoCreateInstance(vantle::ado::kClsidRecordset, nullptr, CLSCTX_INPROC_SERVER,
                         vantle::ado::kIidRecordset, reinterpret_cast<void**>(&recordset));
    }
    if (recordset != nullptr) {
        VARIANT query, active;
        VariantInit(&query);
        VariantInit(&active);
        query.vt = VT_BSTR;
        query.bstrVal = SysAllocString(L"select * from vantle");
        active.vt = VT_DISPATCH;
        active.pdispVal = connection;
        recordset->Open(query, active, kOpenForwardOnly, kLockReadOnly, kOptionsNone);
        VariantClear(&query);
    }
    MessageBoxW(window, L"The Vantle Tables already exist in this database. Re-run the setup?",
                L"Installing Vantle Tables", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (recordset != nullptr) recordset->Release();
    if (connection != nullptr) connection->Release();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    connectionString = commandLine;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bare::RunOkWindow(instance, L"BareAdo", &ProbeAndAsk);
    CoUninitialize();
    return 0;
}
