#include "app/dialog_settings.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace vantle {
namespace {

TEST(DialogSettings, EachFieldIsReadOnceInConnectionStringOrder) {
    testing::FakeFields fields;
    fields.texts = {{Field::Server, L"S"},
                    {Field::Database, L"D"},
                    {Field::User, L"U"},
                    {Field::Password, L"P"}};
    const ConnectionSettings settings = ReadConnectionSettings(fields);
    EXPECT_EQ(settings.server, L"S");
    EXPECT_EQ(settings.database, L"D");
    EXPECT_EQ(settings.login, L"U");
    EXPECT_EQ(settings.password, L"P");
    EXPECT_EQ(fields.reads,
              (std::vector<Field>{Field::Server, Field::Database, Field::User, Field::Password}));
}

}  // namespace
}  // namespace vantle
