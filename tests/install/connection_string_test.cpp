#include "install/connection_string.h"

#include <gtest/gtest.h>

#include <random>

#include "support/command_line_models.h"
#include "support/oledb_parser.h"

namespace vantle {
namespace {

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

std::wstring Compose(const std::wstring& server, const std::wstring& database,
                     const std::wstring& login, const std::wstring& password) {
    return ConnectionString(ConnectionSettings{server, database, login, password});
}

Pairs Expected(const std::wstring& server, const std::wstring& database, const std::wstring& login,
               const std::wstring& password) {
    return {{L"provider", L"sqloledb"},
            {L"data source", server},
            {L"initial catalog", database},
            {L"user id", login},
            {L"password", password}};
}

TEST(ConnectionString, PlainValuesGiveTheExactText) {
    EXPECT_EQ(Compose(L"SQLHOST\\Q1", L"QuillDB", L"quillmar", L"8vek3"),
              L"Provider=sqloledb;Data Source=SQLHOST\\Q1;Initial Catalog=QuillDB;"
              L"User Id=quillmar;Password=8vek3");
    EXPECT_EQ(Compose(L"host,1433", L"", L"", L""),
              L"Provider=sqloledb;Data Source=host,1433;Initial Catalog=;User Id=;Password=");
}

TEST(ConnectionString, HostileValuesReadBackUnchangedAndAddNoKey) {
    for (const wchar_t* value : {L"p;w",
                                 L";Initial Catalog=master",
                                 L"x';Password='y",
                                 L"a\"b",
                                 L"a'b",
                                 L"a\"'b",
                                 L"\"quoted\"",
                                 L"'single'",
                                 L"a=b",
                                 L"==",
                                 L" lead",
                                 L"trail ",
                                 L" both ",
                                 L"\t",
                                 L"caf\u00e9 \u4e2d",
                                 L"\"\"",
                                 L"''",
                                 L"'\"",
                                 L";",
                                 L"="}) {
        const std::wstring text = Compose(value, value, value, value);
        const auto parsed = testing::ParseOleDbConnectionString(text);
        ASSERT_TRUE(parsed.has_value()) << "malformed: " << text.size();
        EXPECT_EQ(*parsed, Expected(value, value, value, value));
    }
}

TEST(ConnectionString, RandomValuesReadBackUnchanged) {
    std::mt19937 random(1433);
    for (int i = 0; i < 5000; ++i) {
        const auto v = [&] { return testing::RandomHardValue(random, 10); };
        const std::wstring s = v(), d = v(), l = v(), p = v();
        const auto parsed = testing::ParseOleDbConnectionString(Compose(s, d, l, p));
        ASSERT_TRUE(parsed.has_value());
        ASSERT_EQ(*parsed, Expected(s, d, l, p));
    }
}

TEST(ConnectionString, QuotesWithWhatTheValueDoesNotHold) {
    EXPECT_EQ(ConnectionStringValue(L"p;w"), L"\"p;w\"");
    EXPECT_EQ(ConnectionStringValue(L"a\"b;"), L"'a\"b;'");
    EXPECT_EQ(ConnectionStringValue(L"a\"'b"), L"\"a\"\"'b\"");
}

}  // namespace
}  // namespace vantle
