#include "common/environment.h"

namespace vantle {

std::wstring FolderOfFile(const std::wstring& filePath) {
    const auto slash = filePath.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L"";
    // A file directly in a drive root: keep "C:\" whole, as Windows names that folder.
    if (slash == 2 && filePath.size() > 1 && filePath[1] == L':') return filePath.substr(0, 3);
    return filePath.substr(0, slash);
}

bool IsFullyQualifiedPath(const std::wstring& path) {
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return true;
    const wchar_t drive = path.empty() ? L'\0' : path[0];
    const bool letter = (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
    return path.size() >= 3 && letter && path[1] == L':' && separator(path[2]);
}

}  // namespace vantle
