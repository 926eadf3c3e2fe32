#include "common/environment_block.h"

#include <gtest/gtest.h>

namespace vantle {
namespace {

std::vector<std::wstring> Entries(const std::wstring& block) {
    EXPECT_GE(block.size(), 2u);
    EXPECT_EQ(block.substr(block.size() - 2), std::wstring(2, L'\0')) << "double-NUL end";
    return SplitEnvironmentBlock(block.c_str());
}

TEST(EnvironmentBlock, AddsAnOverrideInSortedPlaceAndKeepsTheDriveFolders) {
    const std::vector<std::wstring> current{L"=C:=C:\\Users\\jo", L"=D:=D:\\", L"Path=C:\\Windows",
                                            L"TEMP=C:\\Temp", L"windir=C:\\Windows"};
    EXPECT_EQ(Entries(BuildEnvironmentBlock(current, {{L"SQLCMDPASSWORD", L"8vek3"}})),
              (std::vector<std::wstring>{L"=C:=C:\\Users\\jo", L"=D:=D:\\", L"Path=C:\\Windows",
                                         L"SQLCMDPASSWORD=8vek3", L"TEMP=C:\\Temp",
                                         L"windir=C:\\Windows"}));
}

TEST(EnvironmentBlock, SortsWithoutRegardToCaseAndReplacesANameOfAnyCase) {
    const std::vector<std::wstring> current{L"b=1", L"A=2", L"sqlcmdpassword=operator's", L"C=3"};
    EXPECT_EQ(Entries(BuildEnvironmentBlock(current, {{L"SQLCMDPASSWORD", L"typed"}})),
              (std::vector<std::wstring>{L"A=2", L"b=1", L"C=3", L"SQLCMDPASSWORD=typed"}));
}

TEST(EnvironmentBlock, ValuesPassExactlyAsGiven) {
    for (const std::wstring value :
         {L"", L"=x=", L"%PATH%", L"!x!", L"a\"b ^&|<>", L"caf\u00e9", L"line\r\nbreak", L"  "}) {
        const auto entries = Entries(BuildEnvironmentBlock({L"X=1"}, {{L"OSQLPASSWORD", value}}));
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0], L"OSQLPASSWORD=" + value);
    }
}

TEST(EnvironmentBlock, NameStopsAtTheFirstEqualsSignAfterItsFirstCharacter) {
    // "=C:" is a name; the equals signs in a value are not part of it.
    const auto entries =
        Entries(BuildEnvironmentBlock({L"=C:=C:\\", L"K=a=b"}, {{L"K", L"c"}, {L"=C:", L"E:\\"}}));
    EXPECT_EQ(entries, (std::vector<std::wstring>{L"=C:=E:\\", L"K=c"}));
}

TEST(EnvironmentBlock, AnEmptyEnvironmentIsStillAWellFormedBlock) {
    EXPECT_EQ(BuildEnvironmentBlock({}, {}), std::wstring(2, L'\0'));
    EXPECT_TRUE(SplitEnvironmentBlock(BuildEnvironmentBlock({}, {}).c_str()).empty());
}

}  // namespace
}  // namespace vantle
