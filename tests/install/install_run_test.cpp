#include "install/install_run.h"

#include <gtest/gtest.h>

#include "support/fake_database.h"
#include "support/fakes.h"

namespace vantle {
namespace {

using testing::FakeDatabase;
using testing::FakeServer;

class FakePrompt final : public InstallPrompt {
  public:
    bool ConfirmRerun(const std::wstring& text, const std::wstring& title) override {
        record(L"ask " + text + L" | " + title);
        return answerYes;
    }
    void ReportConnectionFailure(const Error& error) override {
        record(L"report " + std::to_wstring(error.Number()) + L" " + error.Description());
    }
    std::function<void(const std::wstring&)> record;
    bool answerYes = false;
};

class InstallRunTest : public ::testing::Test {
  protected:
    InstallRunTest() {
        server_.record = [this](const std::wstring& e) { events_.push_back(e); };
        prompt_.record = server_.record;
        fields_.texts = {{Field::Server, L"SQLHOST"},
                         {Field::Database, L"QuillDB"},
                         {Field::User, L"quillmar"},
                         {Field::Password, L"8vek3"}};
    }
    InstallOutcome Run() {
        FakeDatabase database(server_);
        return InstallRun(fields_, database, prompt_, [this] { events_.push_back(L"script run"); })
            .Run();
    }
    bool Happened(const std::wstring& event) const {
        return std::find(events_.begin(), events_.end(), event) != events_.end();
    }
    std::vector<std::wstring> After(const std::wstring& event) const {
        auto it = std::find(events_.begin(), events_.end(), event);
        return it == events_.end() ? std::vector<std::wstring>{}
                                   : std::vector<std::wstring>(it + 1, events_.end());
    }

    FakeServer server_;
    FakePrompt prompt_;
    testing::FakeFields fields_;
    std::vector<std::wstring> events_;
};

const std::wstring kAsk = std::wstring(L"ask ") + kRerunQuestion + L" | " + kRerunTitle;

TEST_F(InstallRunTest, AbsentTablesRunTheScriptWithoutAskingAfterReleasingEverything) {
    EXPECT_EQ(Run(), InstallOutcome::ScriptRun);
    const std::vector<std::wstring> expected{
        L"create connection",
        L"connection open Provider=sqloledb;Data Source=SQLHOST;Initial Catalog=QuillDB;"
        L"User Id=quillmar;Password=8vek3 | user= | password= | options=-1",
        L"connection state",
        L"create recordset",
        L"recordset open select * from vantle | cursor=0 | lock=1 | options=-1",
        L"recordset state",
        L"recordset release",
        L"connection close",
        L"connection release",
        L"script run"};
    EXPECT_EQ(events_, expected);
}

TEST_F(InstallRunTest, PresentTablesAndNoLeaveEverythingAsItWas) {
    server_.tablesExist = true;
    EXPECT_EQ(Run(), InstallOutcome::Declined);
    EXPECT_FALSE(Happened(L"script run"));
    // Both objects are closed and released before the question is put.
    EXPECT_EQ(After(L"recordset state"),
              (std::vector<std::wstring>{L"recordset close", L"recordset release",
                                         L"connection close", L"connection release", kAsk}));
}

TEST_F(InstallRunTest, PresentTablesAndYesRunTheSameScript) {
    server_.tablesExist = true;
    prompt_.answerYes = true;
    EXPECT_EQ(Run(), InstallOutcome::ScriptRun);
    EXPECT_EQ(After(kAsk), std::vector<std::wstring>{L"script run"});
}

TEST_F(InstallRunTest, AProbeFailingForAnyReasonCountsAsAbsentTables) {
    server_.tablesExist = true;
    server_.probeFailsOtherwise = true;
    EXPECT_EQ(Run(), InstallOutcome::ScriptRun);
    EXPECT_FALSE(Happened(kAsk));
}

TEST_F(InstallRunTest, AFailingRecordsetStateQueryLeadsToTheQuestion) {
    server_.recordsetStateFails = true;
    EXPECT_EQ(Run(), InstallOutcome::Declined);
    EXPECT_TRUE(Happened(kAsk));
}

TEST_F(InstallRunTest, FailingClosesInPhaseTwoAreSkipped) {
    server_.tablesExist = true;
    server_.closeFails = true;
    prompt_.answerYes = true;
    EXPECT_EQ(Run(), InstallOutcome::ScriptRun);
    EXPECT_EQ(
        After(L"recordset state"),
        (std::vector<std::wstring>{L"recordset close", L"recordset release", L"connection close",
                                   L"connection release", kAsk, L"script run"}));
}

TEST_F(InstallRunTest, AConnectionThatCannotOpenIsReportedAndNothingElseHappens) {
    server_.openFailure = testing::kLoginFailed;
    EXPECT_EQ(Run(), InstallOutcome::ConnectionFailed);
    EXPECT_EQ(events_.back(), L"report -2147217843 Login failed for user 'quillmar'.");
    EXPECT_FALSE(Happened(L"create recordset"));
    EXPECT_FALSE(Happened(L"script run"));
    EXPECT_EQ(fields_.texts[Field::Password], L"8vek3");  // nothing typed is lost
}

TEST_F(InstallRunTest, AConnectionNotOpenEndsTheRunQuietly) {
    server_.connectionNotOpen = true;
    EXPECT_EQ(Run(), InstallOutcome::NotOpen);
    EXPECT_EQ(After(L"connection state"), std::vector<std::wstring>{L"connection release"});
}

TEST_F(InstallRunTest, NoRecordsetClosesAndReleasesTheConnection) {
    server_.noRecordset = true;
    EXPECT_EQ(Run(), InstallOutcome::NoRecordset);
    EXPECT_EQ(After(L"create recordset"),
              (std::vector<std::wstring>{L"connection close", L"connection release"}));
}

TEST_F(InstallRunTest, TheFieldsAreReadInOrderAtTheMomentOfTheRun) {
    fields_.texts[Field::Password] = L"p;Initial Catalog=master";
    Run();
    EXPECT_EQ(fields_.reads,
              (std::vector<Field>{Field::Server, Field::Database, Field::User, Field::Password}));
    EXPECT_EQ(events_.at(1),
              L"connection open Provider=sqloledb;Data Source=SQLHOST;Initial Catalog=QuillDB;"
              L"User Id=quillmar;Password=\"p;Initial Catalog=master\" | user= | password= | "
              L"options=-1");
}

}  // namespace
}  // namespace vantle
