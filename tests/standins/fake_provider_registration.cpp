// regsvr32's entry points for the stand-in provider. ADO finds a provider through the ProgID
// the connection string names (Provider=sqloledb: HKCR\SQLOLEDB\CLSID), then loads the DLL
// that HKCR\CLSID\{…}\InprocServer32 names. "Both" lets it be created in whatever apartment
// the caller is in, as SQL Server's own provider is.
#include <windows.h>
#include <olectl.h>

#include <string>

#include "standins/fake_provider.h"

namespace vantle::fake_provider {
namespace {

bool SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

std::wstring ModulePath() {
    wchar_t path[MAX_PATH * 4];
    return std::wstring(path, GetModuleFileNameW(ThisModule(), path, MAX_PATH * 4));
}

// Whether HKCR\SQLOLEDB names this provider (and not, say, a real one installed since).
bool ProgIdIsOurs() {
    wchar_t value[64];
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_CLASSES_ROOT, (std::wstring(kProgId) + L"\\CLSID").c_str(), nullptr,
                        RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS &&
           CompareStringOrdinal(value, -1, kClassIdText, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace
}  // namespace vantle::fake_provider

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    using namespace vantle::fake_provider;
    const std::wstring name = L"Vantle stand-in for Microsoft OLE DB Provider for SQL Server";
    const std::wstring classKey = std::wstring(L"CLSID\\") + kClassIdText;
    const std::wstring progIdKey = kProgId;
    const bool written =
        SetValue(HKEY_CLASSES_ROOT, progIdKey, nullptr, name) &&
        SetValue(HKEY_CLASSES_ROOT, progIdKey + L"\\CLSID", nullptr, kClassIdText) &&
        SetValue(HKEY_CLASSES_ROOT, classKey, nullptr, kProgId) &&
        SetValue(HKEY_CLASSES_ROOT, classKey + L"\\ProgID", nullptr, kProgId) &&
        SetValue(HKEY_CLASSES_ROOT, classKey + L"\\OLE DB Provider", nullptr, name) &&
        SetValue(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", nullptr, ModulePath()) &&
        SetValue(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", L"ThreadingModel", L"Both");
    return written ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    using namespace vantle::fake_provider;
    if (ProgIdIsOurs()) RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClassIdText).c_str());
    return S_OK;
}
