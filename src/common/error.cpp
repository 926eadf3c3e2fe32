#include "common/error.h"

#include <cstdio>

namespace vantle {

std::wstring FormatErrorReport(const Error& error) {
    wchar_t hex[16];
    std::swprintf(hex, 16, L"%x",
                  static_cast<unsigned>(static_cast<std::uint32_t>(error.Number())));
    std::wstring text = L"Run-time error '" + std::to_wstring(error.Number()) + L" (" + hex +
                        L")':\n\n" +
                        (error.Description().empty() ? kNoDescription : error.Description());
    if (!error.Source().empty()) text += L"\n\nSource: " + error.Source();
    return text;
}

}  // namespace vantle
