// The real ADO adapter under Wine, where no SQL Server provider is registered.
#include "install/ado_database_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/error.h"

namespace vantle {
namespace {

TEST(AdoDatabase, OpeningWithoutTheProviderFailsWithNumberAndDescription) {
    const ComApartment com;
    AdoDatabase database;
    const auto attempt = [&] {
        auto connection = database.CreateConnection();
        try {
            connection->Open(
                L"Provider=sqloledb;Data Source=nowhere;Initial Catalog=x;"
                L"User Id=quillmar;Password=8vek3",
                L"", L"", -1);
            ADD_FAILURE() << "opened a connection without a provider";
        } catch (const Error& error) {
            EXPECT_LT(error.Number(), 0) << "an HRESULT failure code";
            EXPECT_FALSE(error.Description().empty());
        }
        EXPECT_NE(connection->State(), kStateOpen);
    };
    attempt();  // first use loads ADO and OLE DB for good

    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 20; ++i) attempt();
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_EQ(after, before) << "handles leaked";
}

TEST(AdoDatabase, CreatesRecordsets) {
    const ComApartment com;
    AdoDatabase database;
    const auto recordset = database.CreateRecordset();
    ASSERT_NE(recordset, nullptr);
    EXPECT_NE(recordset->State(), kStateOpen);
}

}  // namespace
}  // namespace vantle
