#include "common/environment.h"

#include <gtest/gtest.h>

#include <string>

namespace vantle {
namespace {

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // the paths below are ASCII
}

TEST(FullyQualifiedPaths, OnlyADriveWithItsRootOrAShareNamesOnePlace) {
    for (const wchar_t* path : {L"C:\\", L"C:\\Temp", L"c:/temp", L"\\\\server\\share\\t",
                                L"//server/share", L"\\\\?\\C:\\x"})
        EXPECT_TRUE(IsFullyQualifiedPath(path)) << Narrow(path);
    // On the current drive, on a drive's own current folder, or in the current folder.
    for (const wchar_t* path :
         {L"", L"\\", L"\\Temp", L"/Temp", L"C:", L"C:Temp", L"Temp", L".\\Temp", L"..\\Temp"})
        EXPECT_FALSE(IsFullyQualifiedPath(path)) << Narrow(path);
}

}  // namespace
}  // namespace vantle
