#pragma once

// For failure messages in portable tests: gtest prints narrow strings readably.
#include <string>

namespace vantle::testing {

inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace vantle::testing
