#include "common/environment_block.h"

#include <algorithm>

namespace vantle {
namespace {

wchar_t FoldCase(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool NameLess(const std::wstring& a, const std::wstring& b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](wchar_t x, wchar_t y) { return FoldCase(x) < FoldCase(y); });
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return !NameLess(a, b) && !NameLess(b, a);
}

// The name ends at the first '=' after the first character: "=C:=C:\dir" is named "=C:".
std::wstring NameOf(const std::wstring& entry) {
    return entry.substr(0, entry.find(L'=', 1));
}

}  // namespace

std::wstring BuildEnvironmentBlock(const std::vector<std::wstring>& current,
                                   const EnvironmentOverrides& overrides) {
    std::vector<std::wstring> entries;
    for (const std::wstring& entry : current) {
        if (entry.empty()) continue;
        const std::wstring name = NameOf(entry);
        const bool overridden = std::any_of(overrides.begin(), overrides.end(),
                                            [&](const auto& o) { return SameName(o.first, name); });
        if (!overridden) entries.push_back(entry);
    }
    for (const auto& [name, value] : overrides) entries.push_back(name + L"=" + value);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return NameLess(NameOf(a), NameOf(b)); });

    std::wstring block;
    for (const std::wstring& entry : entries) {
        block += entry;
        block += L'\0';
    }
    if (block.empty()) block += L'\0';  // an empty block is still two NULs
    block += L'\0';
    return block;
}

std::vector<std::wstring> SplitEnvironmentBlock(const wchar_t* block) {
    std::vector<std::wstring> entries;
    if (block == nullptr) return entries;
    for (const wchar_t* entry = block; *entry != L'\0';) {
        entries.emplace_back(entry);
        entry += entries.back().size() + 1;
    }
    return entries;
}

}  // namespace vantle
