#include "install/install_run.h"

#include <gtest/gtest.h>

#include "install/install_reports.h"
#include "support/fake_database.h"
#include "support/fakes.h"
#include "support/text.h"

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
    void ReportError(const std::wstring& text) override { record(L"report " + text); }
    void ReportOutcome(const std::wstring& text) override { record(L"outcome " + text); }
    std::function<void(const std::wstring&)> record;
    bool answerYes = false;
};

class InstallRunTest : public ::testing::Test {
  protected:
    InstallRunTest() {
        server_.record = [this](const std::wstring& e) { events_.push_back(e); };
        prompt_.record = server_.record;
    }
    InstallOutcome Run() {
        FakeDatabase database(server_);
        InstallSteps steps{[this] { return refusal_; },
                           [&] {
                               return abandoned_ ? ProbeOutcome{ProbeOutcome::Result::Abandoned, {}}
                                                 : ProbeTables(database, settings_);
                           },
                           [this] { return stopAsked_; },
                           [this] {
                               events_.push_back(L"script run");
                               return script_;
                           }};
        return InstallRun(settings_, std::move(steps), prompt_).Run();
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
    ConnectionSettings settings_{L"SQLHOST", L"QuillDB", L"quillmar", L"8vek3"};
    ScriptOutcome script_;  // the log shown, unless a test says otherwise
    std::optional<Error> refusal_;
    bool abandoned_ = false;
    bool stopAsked_ = false;  // by the time the probe was over
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
    ASSERT_EQ(events_.back().rfind(L"report Could not connect to database QuillDB on server "
                                   L"SQLHOST as quillmar.",
                                   0),
              0u)
        << testing::Narrow(events_.back());
    EXPECT_NE(events_.back().find(L"Login failed for user 'quillmar'."), std::wstring::npos);
    EXPECT_NE(events_.back().find(L"0x80040E4D"), std::wstring::npos);
    EXPECT_FALSE(Happened(L"create recordset"));
    EXPECT_FALSE(Happened(L"script run"));
    // The connection was released before the operator reads the report.
    EXPECT_EQ(After(L"connection release").size(), 1u);
}

TEST_F(InstallRunTest, AScriptRunThatShowsNoLogOfItsOwnIsReportedAndReturnsToTheDialog) {
    script_.logPath = L"C:\\Temp\\TableScriptResults.log";
    script_.result = ScriptOutcome::Result::NoLog;
    EXPECT_EQ(Run(), InstallOutcome::NoLog);
    ASSERT_EQ(After(L"script run").size(), 1u);
    EXPECT_NE(After(L"script run")[0].find(L"neither sqlcmd nor osql"), std::wstring::npos);

    events_.clear();
    script_.result = ScriptOutcome::Result::OldLogKept;
    script_.error = Error(ErrorNumber(0x80070005u), L"FileSystem", L"Access is denied.");
    EXPECT_EQ(Run(), InstallOutcome::OldLogKept);
    ASSERT_EQ(After(L"script run").size(), 1u);
    EXPECT_NE(After(L"script run")[0].find(L"Access is denied."), std::wstring::npos);

    events_.clear();
    script_.result = ScriptOutcome::Result::Refused;
    script_.error = Error(ErrorNumber(0x80070057u), L"ScriptTools", L"The database is too long");
    EXPECT_EQ(Run(), InstallOutcome::Refused);
    const std::wstring report = After(L"script run").at(0);
    EXPECT_EQ(report.rfind(L"report The table script was not run: The database is too long.", 0),
              0u);
    EXPECT_EQ(report.find(L"must be installed"), std::wstring::npos) << "no tool was missing";

    // Known before connecting, refused before connecting: no question can come first.
    events_.clear();
    server_.tablesExist = true;
    refusal_ = Error(ErrorNumber(0x80070057u), L"ScriptTools", L"The program folder is too long");
    EXPECT_EQ(Run(), InstallOutcome::Refused);
    ASSERT_EQ(events_.size(), 1u) << "something was connected to, asked or run";
    EXPECT_EQ(events_[0].rfind(L"report The table script was not run: The program folder", 0), 0u);
}

TEST_F(InstallRunTest, AStoppedToolOrAMissingViewerIsReported) {
    script_.logPath = L"C:\\Temp\\TableScriptResults.log";
    script_.result = ScriptOutcome::Result::Stopped;
    script_.primary.result = ToolRun::Result::Stopped;
    EXPECT_EQ(Run(), InstallOutcome::Stopped);
    ASSERT_EQ(After(L"script run").size(), 1u);
    const std::wstring report = After(L"script run")[0];
    EXPECT_EQ(report.rfind(L"outcome The table script was stopped: sqlcmd", 0), 0u)
        << testing::Narrow(report);
    EXPECT_NE(report.find(script_.logPath), std::wstring::npos);

    // A tool that could not be waited for was ended as a stop ends it, and is reported as such.
    events_.clear();
    script_.result = ScriptOutcome::Result::WaitFailed;
    script_.primary.result = ToolRun::Result::WaitFailed;
    script_.primary.error = Error(kErrorWaitFailed, kSyncShellSource, L"error 6: invalid handle");
    EXPECT_EQ(Run(), InstallOutcome::WaitFailed);
    EXPECT_EQ(After(L"script run").at(0).rfind(L"report The table script was cut short", 0), 0u);

    // The script ran, but Notepad could not show its log: told where it is, and the run is over.
    events_.clear();
    script_.result = ScriptOutcome::Result::ViewerFailed;
    script_.viewer.result = ToolRun::Result::Exited;
    script_.viewer.exitCode = 1;
    EXPECT_EQ(Run(), InstallOutcome::ScriptRun);
    ASSERT_EQ(After(L"script run").size(), 1u);
    EXPECT_EQ(After(L"script run")[0].rfind(L"outcome The table script has run, but Notepad", 0),
              0u);
}

TEST_F(InstallRunTest, AnAbandonedConnectionAttemptEndsTheRunWithoutAWord) {
    abandoned_ = true;
    EXPECT_EQ(Run(), InstallOutcome::Abandoned);
    EXPECT_EQ(events_, std::vector<std::wstring>{}) << "nothing asked, reported or run";

    // A stop asked for while connecting, seen only once the probe was over: given up all the
    // same, whatever the probe came to.
    abandoned_ = false;
    stopAsked_ = true;
    for (const bool tablesExist : {false, true}) {
        server_.tablesExist = tablesExist;
        events_.clear();
        EXPECT_EQ(Run(), InstallOutcome::Abandoned);
        EXPECT_EQ(events_.back(), L"connection release") << "asked, reported or run afterwards";
    }
    server_.openFailure = testing::kLoginFailed;
    EXPECT_EQ(Run(), InstallOutcome::Abandoned);
    EXPECT_EQ(events_.back(), L"connection release");
}

// Neither ends in silence: each is said, once everything is released.
TEST_F(InstallRunTest, AConnectionNotOpenOrNoRecordsetIsReportedOnceAllIsReleased) {
    server_.connectionNotOpen = true;
    EXPECT_EQ(Run(), InstallOutcome::NotOpen);
    EXPECT_EQ(
        After(L"connection state"),
        (std::vector<std::wstring>{L"connection release", L"report " + NotOpenReport(settings_)}));

    server_.connectionNotOpen = false;
    server_.noRecordset = true;
    events_.clear();
    EXPECT_EQ(Run(), InstallOutcome::NoRecordset);
    const auto after = After(L"create recordset");
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(std::vector<std::wstring>(after.begin(), after.begin() + 2),
              (std::vector<std::wstring>{L"connection close", L"connection release"}));
    EXPECT_EQ(after[2].rfind(L"report Connected to database QuillDB", 0), 0u)
        << testing::Narrow(after[2]);
}

TEST_F(InstallRunTest, ConnectsWithTheSettingsAsGivenQuotedWhereNeeded) {
    settings_.password = L"p;Initial Catalog=master";
    Run();
    EXPECT_EQ(events_.at(1),
              L"connection open Provider=sqloledb;Data Source=SQLHOST;Initial Catalog=QuillDB;"
              L"User Id=quillmar;Password=\"p;Initial Catalog=master\" | user= | password= | "
              L"options=-1");
}

}  // namespace
}  // namespace vantle
