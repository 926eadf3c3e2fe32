#include "support/win_test_support.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <utility>

namespace vantle::testing {

std::filesystem::path BinFolder() {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    return std::filesystem::path(std::wstring(buffer, length)).parent_path();
}

TempDir::TempDir(const std::wstring& nameHint) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::filesystem::path(temp) /
                (nameHint + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter));
        if (CreateDirectoryW(path_.c_str(), nullptr)) return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create a temporary folder");
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Files a test made read-only, hidden or system must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(path_, ignored);
}

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write a test file");
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring EnvironmentBlock(const EnvironmentOverrides& overrides) {
    std::map<std::wstring, std::wstring, bool (*)(const std::wstring&, const std::wstring&)>
        variables([](const std::wstring& a, const std::wstring& b) {
            return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
        });
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        const auto equals = text.find(L'=', 1);  // "=C:=C:\" entries start with '='
        if (equals == std::wstring::npos) continue;
        variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsW(block);
    for (const auto& [name, value] : overrides) {
        if (value) {
            variables[name] = *value;
        } else {
            variables.erase(name);
        }
    }
    std::wstring result;
    for (const auto& [name, value] : variables) result += name + L"=" + value + L'\0';
    result += L'\0';
    return result;
}

ChildProcess::~ChildProcess() {
    Terminate();
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Terminate();
        process_ = std::move(other.process_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

void ChildProcess::Terminate() noexcept {
    if (process_ && IsRunning()) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

ChildProcess ChildProcess::Start(const std::filesystem::path& exe, const std::wstring& commandLine,
                                 const EnvironmentOverrides& overrides,
                                 const std::filesystem::path& currentFolder) {
    std::wstring line = commandLine;
    std::wstring environment = EnvironmentBlock(overrides);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info))
        throw std::runtime_error("CreateProcess failed: " + std::to_string(GetLastError()));
    CloseHandle(info.hThread);
    ChildProcess child;
    child.process_.Reset(info.hProcess);
    child.id_ = info.dwProcessId;
    return child;
}

bool ChildProcess::WaitForExit(std::chrono::milliseconds timeout, DWORD* exitCode) const {
    if (WaitForSingleObject(process_.Get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return false;
    if (exitCode != nullptr) GetExitCodeProcess(process_.Get(), exitCode);
    return true;
}

bool ChildProcess::IsRunning() const {
    return WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const std::wstring* caption;
    HWND found;
    const wchar_t* windowClass = nullptr;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    if (!search->caption->empty() && WindowText(window) != *search->caption) return TRUE;
    if (search->windowClass != nullptr && ClassName(window) != search->windowClass) return TRUE;
    search->found = window;
    return FALSE;
}

HWND WaitForWindow(WindowSearch search, std::chrono::milliseconds timeout) {
    WaitUntil(
        [&] {
            EnumWindows(&MatchTopWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeout);
    return search.found;
}

}  // namespace

HWND WaitForTopWindow(DWORD processId, const std::wstring& caption,
                      std::chrono::milliseconds timeout) {
    return WaitForWindow(WindowSearch{processId, &caption, nullptr}, timeout);
}

HWND WaitForMessageBox(DWORD processId, const std::wstring& title,
                       std::chrono::milliseconds timeout) {
    return WaitForWindow(WindowSearch{processId, &title, nullptr, L"#32770"}, timeout);
}

DWORD OpenHandleCount() {
    // Handle values are multiples of 4; a test process holds far fewer than 16384 of them.
    DWORD count = 0;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT rather than GetWindowText, which does not read other processes' controls.
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256];
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<size_t>(length > 0 ? length : 0));
}

}  // namespace vantle::testing

namespace vantle::testing {
std::string ToUtf8Text(const std::wstring& text) {
    std::string out(text.size() * 4 + 1, '\0');
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<size_t>(length > 0 ? length : 0));
    return out;
}

std::wstring FromUtf8Text(const std::string& text) {
    std::wstring out(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           out.data(), static_cast<int>(out.size()));
    out.resize(static_cast<size_t>(length > 0 ? length : 0));
    return out;
}
}  // namespace vantle::testing
