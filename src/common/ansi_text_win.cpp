#include "common/ansi_text_win.h"

#include <windows.h>

namespace vantle {
namespace {

std::string Narrow(UINT codePage, const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, result.data(), needed, nullptr, nullptr);
    return result;
}

std::wstring Widen(UINT codePage, const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, result.data(), needed);
    return result;
}

}  // namespace

std::string ToAnsi(const std::wstring& text) {
    return Narrow(CP_ACP, text);
}
std::wstring FromAnsi(const std::string& text) {
    return Widen(CP_ACP, text);
}

}  // namespace vantle
