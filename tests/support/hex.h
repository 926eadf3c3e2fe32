#pragma once

// Hex text for the stand-ins' call records: any argument, whatever it holds, fits on a line.
#include <string>

namespace vantle::testing {

inline std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

inline std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
        out += static_cast<char>(nibble(hex[i]) * 16 + nibble(hex[i + 1]));
    }
    return out;
}

}  // namespace vantle::testing
