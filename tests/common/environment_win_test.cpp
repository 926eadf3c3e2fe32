// The program's own folder, however long the path it was started from.
#include "common/environment_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "support/win_test_support.h"

namespace vantle {
namespace {

// Answers as GetModuleFileNameW does for a program at `path`: as much as fits, terminated only
// when all of it fits, and the buffer's size when it was cut short.
WindowsEnvironment ProgramAt(const std::wstring& path) {
    return WindowsEnvironment([path](wchar_t* buffer, unsigned long size) {
        const unsigned long copied = std::min<unsigned long>(size, path.size());
        std::copy_n(path.begin(), copied, buffer);
        if (copied < size) buffer[copied] = L'\0';
        return copied;
    });
}

TEST(ProgramFolder, IsTheWholeFolderOfAProgramPathOfAnyLength) {
    // Total lengths around the first buffer's MAX_PATH characters, and one that needs it grown
    // twice; the program's file name alone is 15 characters.
    for (const std::size_t length : {259u, 260u, 261u, 300u, 1100u}) {
        const std::wstring folder = L"C:\\Programs\\" + std::wstring(length - 12 - 16, L'x');
        const std::wstring path = folder + L"\\VantleSetup.exe";
        ASSERT_EQ(path.size(), length);
        EXPECT_EQ(ProgramAt(path).ProgramFolder(), folder) << length;
    }
    EXPECT_EQ(ProgramAt(L"C:\\VantleSetup.exe").ProgramFolder(), L"C:\\");
}

TEST(ProgramFolder, IsWhereTheRunningTestProgramLies) {
    EXPECT_EQ(WindowsEnvironment().ProgramFolder(), testing::BinFolder().wstring());
}

}  // namespace
}  // namespace vantle
