#pragma once

// The beginnings of ADO's Connection and Recordset interfaces, declared here because
// MinGW-w64's <msado15.h> is not valid C++. A COM call goes through a vtable slot, so what
// matters is the order: every method up to the last one this program calls, exactly as
// ADO's type library has them (_ADO, then Connection15 or Recordset15). The derived
// interfaces (_Connection, Recordset20, Recordset21, _Recordset) only append, so a pointer
// to one of those is a pointer to these. Methods past the last one used are left out.

#include <windows.h>
#include <oaidl.h>

// COM interfaces end through Release, never through delete: no virtual destructor, and none
// in IDispatch to inherit.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace vantle::ado {

// ADO's enumerations are 32-bit integers at the call.
using CursorType = LONG;  // CursorTypeEnum
using LockType = LONG;    // LockTypeEnum

struct AdoObject : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Properties(IDispatch** properties) = 0;

  protected:
    ~AdoObject() = default;
};

struct Connection15 : public AdoObject {
    virtual HRESULT STDMETHODCALLTYPE get_ConnectionString(BSTR* text) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ConnectionString(BSTR text) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG* seconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG seconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ConnectionTimeout(LONG* seconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(LONG seconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE Execute(BSTR commandText, VARIANT* recordsAffected,
                                              LONG options, IDispatch** recordset) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginTrans(LONG* level) = 0;
    virtual HRESULT STDMETHODCALLTYPE CommitTrans() = 0;
    virtual HRESULT STDMETHODCALLTYPE RollbackTrans() = 0;
    virtual HRESULT STDMETHODCALLTYPE Open(BSTR connectionString, BSTR userId, BSTR password,
                                           LONG options) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Errors(IDispatch** errors) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DefaultDatabase(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DefaultDatabase(BSTR name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsolationLevel(LONG* level) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsolationLevel(LONG level) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Attributes(LONG* attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Attributes(LONG attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CursorLocation(LONG* location) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CursorLocation(LONG location) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Mode(LONG* mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Mode(LONG mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Provider(BSTR* provider) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Provider(BSTR provider) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_State(LONG* state) = 0;

  protected:
    ~Connection15() = default;
};

struct Recordset15 : public AdoObject {
    virtual HRESULT STDMETHODCALLTYPE get_AbsolutePosition(LONG* position) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AbsolutePosition(LONG position) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_ActiveConnection(IDispatch* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ActiveConnection(VARIANT* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* atStart) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Bookmark(VARIANT* bookmark) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Bookmark(VARIANT bookmark) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CacheSize(LONG* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CacheSize(LONG size) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CursorType(CursorType* cursorType) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CursorType(CursorType cursorType) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* atEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Fields(IDispatch** fields) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LockType(LockType* lockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LockType(LockType lockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MaxRecords(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MaxRecords(LONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RecordCount(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_Source(IDispatch* command) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Source(BSTR source) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Source(VARIANT* source) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddNew(VARIANT fieldList, VARIANT values) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelUpdate() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(LONG affectRecords) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRows(LONG rows, VARIANT start, VARIANT fields,
                                              VARIANT* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Move(LONG count, VARIANT start) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveNext() = 0;
    virtual HRESULT STDMETHODCALLTYPE MovePrevious() = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveFirst() = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveLast() = 0;
    virtual HRESULT STDMETHODCALLTYPE Open(VARIANT source, VARIANT activeConnection,
                                           CursorType cursorType, LockType lockType,
                                           LONG options) = 0;
    virtual HRESULT STDMETHODCALLTYPE Requery(LONG options) = 0;
    virtual HRESULT STDMETHODCALLTYPE _xResync(LONG affectRecords) = 0;
    virtual HRESULT STDMETHODCALLTYPE Update(VARIANT fields, VARIANT values) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AbsolutePage(LONG* page) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AbsolutePage(LONG page) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EditMode(LONG* mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Filter(VARIANT* criteria) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Filter(VARIANT criteria) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PageCount(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PageSize(LONG* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PageSize(LONG size) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Sort(BSTR* criteria) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Sort(BSTR criteria) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(LONG* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_State(LONG* state) = 0;

  protected:
    ~Recordset15() = default;
};

// ADO's class and interface identifiers (msado15.dll); MinGW's uuid library lacks them.
inline constexpr CLSID kClsidConnection = {
    0x00000514, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr CLSID kClsidRecordset = {
    0x00000535, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID kIidConnection = {  // _Connection, which begins with Connection15
    0x00000550,
    0x0000,
    0x0010,
    {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID kIidRecordset = {  // _Recordset, which begins with Recordset15
    0x00000556,
    0x0000,
    0x0010,
    {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

}  // namespace vantle::ado

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
