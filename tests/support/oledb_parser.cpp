#include "support/oledb_parser.h"

#include <cwctype>

namespace vantle::testing {
namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::wstring Trim(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

}  // namespace

std::optional<std::vector<std::pair<std::wstring, std::wstring>>> ParseOleDbConnectionString(
    const std::wstring& s) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    size_t i = 0;
    while (i < s.size()) {
        // Keyword: up to a single '='; "==" stands for a literal '='.
        std::wstring key;
        for (;;) {
            if (i >= s.size()) return std::nullopt;
            if (s[i] == L'=') {
                if (i + 1 < s.size() && s[i + 1] == L'=') {
                    key += L'=';
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            if (s[i] == L';') return std::nullopt;
            key += s[i++];
        }
        key = Trim(key);
        for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(c));
        if (key.empty()) return std::nullopt;

        while (i < s.size() && IsBlank(s[i])) ++i;
        std::wstring value;
        if (i < s.size() && (s[i] == L'"' || s[i] == L'\'')) {
            const wchar_t quote = s[i++];
            for (;;) {
                if (i >= s.size()) return std::nullopt;  // unterminated
                if (s[i] == quote) {
                    if (i + 1 < s.size() && s[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s[i++];
            }
            while (i < s.size() && IsBlank(s[i])) ++i;
            if (i < s.size() && s[i] != L';') return std::nullopt;
        } else {
            while (i < s.size() && s[i] != L';') value += s[i++];
            value = Trim(value);
        }
        if (i < s.size()) ++i;  // the ';'
        pairs.emplace_back(key, value);
    }
    return pairs;
}

}  // namespace vantle::testing
