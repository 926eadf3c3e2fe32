#include "install/cmd_quoting.h"

#include <gtest/gtest.h>

#include <random>

#include "common/error.h"
#include "support/command_line_models.h"

namespace vantle {
namespace {

using testing::CmdModel;
using testing::CrtArguments;
using testing::RandomHardValue;

const std::map<std::wstring, std::wstring> kVariables{
    {L"PATH", L"C:\\Windows"}, {L"x", L"EXPANDED"}, {L"a", L"EXPANDED"}, {L"TEMP", L"C:\\T"},
    {L"", L"EXPANDED"},        {L" ", L"EXPANDED"}, {L"=", L"EXPANDED"}};

// What the tool receives for "tool <argument> END" on Windows, per the two parsers' rules.
std::optional<std::vector<std::wstring>> Received(const std::wstring& argument) {
    const auto afterCmd = CmdModel(L"tool " + argument + L" END", kVariables);
    if (!afterCmd) return std::nullopt;
    return CrtArguments(*afterCmd);
}

TEST(PlainValues, StandAsTheyAre) {
    for (const wchar_t* value : {L"SQLHOST", L"SQL01\\PROD", L"host,1433", L"tcp:db.example.com",
                                 L"quillmar", L"8vek3", L"-dash", L"a=b;c", L"Caf\u00e9"}) {
        EXPECT_TRUE(IsPlainArgument(value)) << value;
        EXPECT_EQ(CmdArgument(value), value);
    }
    EXPECT_EQ(CmdQuotedPath(L"C:\\Program Files (x86)\\A&B\\x.sql"),
              L"\"C:\\Program Files (x86)\\A&B\\x.sql\"");
}

TEST(PlainValues, AnythingEitherParserActsOnIsNot) {
    for (const wchar_t* value : {L"", L"a b", L"a\tb", L"a\"b", L"a&b", L"a|b", L"a^b", L"a<b",
                                 L"a>b", L"(a)", L"%a%", L"!a!"}) {
        EXPECT_FALSE(IsPlainArgument(value)) << value;
    }
    for (const wchar_t* path : {L"C:\\%x%\\a", L"C:\\a!b", L"C:\\a\"b", L"C:\\a\tb"}) {
        EXPECT_FALSE(IsPlainQuotedPath(path)) << path;
    }
}

TEST(EscapedValues, KnownHostileStringsArriveIntact) {
    for (const wchar_t* value : {L"x & echo pwned > p.txt",
                                 L"%PATH%",
                                 L"!x!",
                                 L"^",
                                 L"\"",
                                 L"\\\"",
                                 L"a\\",
                                 L"",
                                 L"a b",
                                 L"%%",
                                 L"%x%%a%",
                                 L"%\"x\"%",
                                 L"\\\\server\\share\\",
                                 L"a\\\\\"b",
                                 L"()",
                                 L"%",
                                 L"x%",
                                 L"%x",
                                 L"\"\"",
                                 L"a\"\"b",
                                 L"%=%",
                                 L"% %"}) {
        const auto received = Received(EscapeForCmd(value));
        ASSERT_TRUE(received.has_value()) << "an operator escaped: " << value;
        EXPECT_EQ(*received, (std::vector<std::wstring>{L"tool", value, L"END"})) << value;
    }
}

TEST(EscapedValues, KnownExactForms) {
    EXPECT_EQ(EscapeForCmd(L"a b"), L"^\"a b^\"");
    EXPECT_EQ(EscapeForCmd(L""), L"^\"^\"");
    EXPECT_EQ(EscapeForCmd(L"x&y"), L"^\"x^&y^\"");
    EXPECT_EQ(EscapeForCmd(L"a\\"), L"^\"a\\\\^\"");
    EXPECT_EQ(EscapeForCmd(L"%PATH%"), L"%^\"PATH^\"%");
    EXPECT_EQ(EscapeForCmd(L"%%"), L"%^\"^\"%");
}

TEST(EscapedValues, RandomHardValuesRoundTripThroughBothParsers) {
    std::mt19937 random(20261208);
    for (int i = 0; i < 20000; ++i) {
        const std::wstring value = RandomHardValue(random, 12);
        const auto received = Received(CmdArgument(value));
        ASSERT_TRUE(received.has_value()) << "an operator escaped";
        ASSERT_EQ(*received, (std::vector<std::wstring>{L"tool", value, L"END"}));
    }
}

TEST(EscapedValues, LineEndsAndNulAreRefused) {
    for (const std::wstring& value :
         {std::wstring(L"a\rb"), std::wstring(L"a\nb"), std::wstring(L"a\0b", 3)}) {
        try {
            EscapeForCmd(value);
            ADD_FAILURE() << "accepted a value that cmd.exe would cut";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), ErrorNumber(0x80070057u));
        }
    }
}

}  // namespace
}  // namespace vantle
