#include "dialog/error_report_win.h"

#include <new>

namespace vantle {

Error ErrorFromCurrentException() {
    try {
        throw;
    } catch (const Error& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return Error(ErrorNumber(E_OUTOFMEMORY), L"VantleSetup", L"Out of memory");
    } catch (...) {
        return Error(ErrorNumber(E_UNEXPECTED), L"VantleSetup", L"Unexpected failure");
    }
}

void ReportUnhandledErrorAndEnd(HWND owner, const Error& error) {
    MessageBoxW(owner, FormatErrorReport(error).c_str(), L"VantleSetup",
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    ExitProcess(1);
}

}  // namespace vantle
