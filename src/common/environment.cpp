#include "common/environment.h"

namespace vantle {

std::wstring FolderOfFile(const std::wstring& filePath) {
    const auto slash = filePath.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L"";
    // A file directly in a drive root: keep "C:\" whole, as Windows names that folder.
    if (slash == 2 && filePath.size() > 1 && filePath[1] == L':') return filePath.substr(0, 3);
    return filePath.substr(0, slash);
}

}  // namespace vantle
