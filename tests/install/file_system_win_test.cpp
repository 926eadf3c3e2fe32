// Paths made absolute as the file functions read them in this process.
#include "install/file_system_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/win_test_support.h"

namespace vantle {
namespace {

TEST(FullPath, ResolvesAgainstTheCurrentFolderAndItsDriveWhateverTheLength) {
    const testing::TempDir current{L"full"};
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(current.Win().c_str()));
    const WindowsFileSystem files;
    const std::wstring drive = current.Path().root_name().wstring();
    EXPECT_EQ(files.FullPath(L"\\TableScriptResults.log"), drive + L"\\TableScriptResults.log");
    EXPECT_EQ(files.FullPath(L"tmp\\x.log"), current.Win() + L"\\tmp\\x.log");
    // Longer than the first buffer: the whole path, never one cut short.
    const std::wstring deep = std::wstring(150, L'a') + L"\\" + std::wstring(150, L'b');
    EXPECT_EQ(files.FullPath(deep), current.Win() + L"\\" + deep);
    EXPECT_EQ(files.FullPath(L"C:\\Temp\\x.log"), L"C:\\Temp\\x.log");
    SetCurrentDirectoryW(old);
}

}  // namespace
}  // namespace vantle
