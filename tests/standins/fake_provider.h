#pragma once

// What the parts of the stand-in OLE DB provider share (see fake_provider.cpp).
#include <windows.h>

#include <string>

namespace vantle::fake_provider {

// {C4E8B42C-C653-4E96-9387-65B9ED768296}: registered as the class of the ProgID SQLOLEDB.
inline constexpr CLSID kClassId = {
    0xc4e8b42c, 0xc653, 0x4e96, {0x93, 0x87, 0x65, 0xb9, 0xed, 0x76, 0x82, 0x96}};
inline constexpr const wchar_t* kClassIdText = L"{C4E8B42C-C653-4E96-9387-65B9ED768296}";
inline constexpr const wchar_t* kProgId = L"SQLOLEDB";
inline constexpr const wchar_t* kErrorSource = L"Microsoft OLE DB Provider for SQL Server";

// Appends one event to %VANTLE_FAKE_RECORD_DIR%\provider.calls; never fails.
void Record(const std::wstring& event) noexcept;
// "0x80040E4D"
std::wstring HresultText(HRESULT hr);

// Leaves the provider's error object on the thread, as SQL Server's provider does, and
// returns `hr` for the caller to return.
HRESULT Fail(HRESULT hr, const IID& failedInterface, const std::wstring& description) noexcept;

// Every live object and every LockServer(TRUE) counts against unloading the DLL.
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;

// A new, uninitialised data source object.
HRESULT CreateDataSource(const IID& interfaceId, void** object) noexcept;

HMODULE ThisModule() noexcept;

// What lands in the dialog as the probe ends, for a data source holding its name.
enum class LateInput {
    Key,          // "latekey": a character typed into the Server field
    Escape,       // "lateesc": Esc, typed to the dialog, which has the focus while busy
    CancelClick,  // "lateclick": a click on Cancel
};

// The input lands in the last instant of the busy step, once the program's wait has seen the
// database work end and before the outcome is acted on, as input given at that moment would.
// The wait itself would take the input at once, so the dialog's thread is held still from here
// until the calling (worker) thread has ended and the input is posted: its wait has then seen
// the end first, with the input still queued.
void QueueInputAsTheWorkEnds(LateInput input) noexcept;

// For a data source holding "lastround": Esc is taken by the dialog while the work still goes
// on, and its wait sees the work's end before it looks at the stop the Esc asked for. The
// dialog's handling of the Esc is held, once the stop is asked, until the calling thread has
// ended, and that thread is held until then.
void TakeEscapeAsTheWorkEnds() noexcept;

}  // namespace vantle::fake_provider
