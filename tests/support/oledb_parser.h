#pragma once

// A reader of OLE DB connection strings, written from the syntax's documented rules, to check
// that what the program composes reads back as the values it was given.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantle::testing {

// Keyword/value pairs in order, keywords lower-cased; nullopt for a malformed string.
std::optional<std::vector<std::pair<std::wstring, std::wstring>>> ParseOleDbConnectionString(
    const std::wstring& text);

}  // namespace vantle::testing
