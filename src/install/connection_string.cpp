#include "install/connection_string.h"

namespace vantle {
namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool NeedsQuoting(std::wstring_view value) {
    if (value.empty()) return false;
    if (IsBlank(value.front()) || IsBlank(value.back())) return true;  // would be trimmed
    return value.find_first_of(L";'\"=") != std::wstring_view::npos;
}

}  // namespace

std::wstring ConnectionStringValue(std::wstring_view value) {
    if (!NeedsQuoting(value)) return std::wstring(value);
    // OLE DB: a value may be enclosed in double or single quotes; inside, the enclosing quote
    // is written twice. Prefer a quote the value does not hold, as the platform's own
    // connection-string builders do.
    const wchar_t quote =
        value.find(L'"') == std::wstring_view::npos || value.find(L'\'') != std::wstring_view::npos
            ? L'"'
            : L'\'';
    std::wstring out(1, quote);
    for (const wchar_t c : value) {
        out += c;
        if (c == quote) out += c;
    }
    out += quote;
    return out;
}

std::wstring ConnectionString(const ConnectionSettings& s) {
    return L"Provider=sqloledb;Data Source=" + ConnectionStringValue(s.server) +
           L";Initial Catalog=" + ConnectionStringValue(s.database) + L";User Id=" +
           ConnectionStringValue(s.login) + L";Password=" + ConnectionStringValue(s.password);
}

}  // namespace vantle
