#include "install/script_run.h"

#include <gtest/gtest.h>

#include "process/process_runner.h"
#include "support/fake_script_tools.h"
#include "support/fakes.h"

namespace vantle {
namespace {

using testing::FakeEnvironment;
using testing::FakeFields;
using testing::FakeFileSystem;
using testing::FakeRunner;

const std::wstring kLog = L"C:\\Temp\\TableScriptResults.log";
const std::wstring kCmd = L"C:\\Windows\\system32\\cmd.exe";

class ScriptRunTest : public ::testing::Test {
  protected:
    ScriptRunTest() {
        environment_.variables[L"TEMP"] = L"C:\\Temp";
        environment_.programFolder = L"C:\\Vantle";
        fields_.texts = {{Field::Server, L"S"},
                         {Field::Database, L"D"},
                         {Field::User, L"U"},
                         {Field::Password, L"P"}};
    }

    // Which programs ran, by the word after "/c".
    std::vector<std::wstring> Programs() const {
        std::vector<std::wstring> programs;
        for (const ProgramCommand& run : runner_.runs) {
            const auto c = run.commandLine.find(L"/c ") + 3;
            programs.push_back(run.commandLine.substr(c, run.commandLine.find(L' ', c) - c));
        }
        return programs;
    }
    // A tool that writes the result log as sqlcmd -o does.
    void ToolWritesLog(const std::wstring& tool) {
        runner_.onRun = [this, tool](const ProgramCommand& c) {
            if (c.commandLine.find(L"/c " + tool + L" ") != std::wstring::npos)
                files_.files.insert(kLog);
            return 0;
        };
    }
    void Run() { ScriptRun(fields_, environment_, files_, runner_).RunAll(); }

    FakeFields fields_;
    FakeEnvironment environment_;
    FakeFileSystem files_;
    FakeRunner runner_;
};

TEST_F(ScriptRunTest, PrimaryWritesTheLogSoTheFallbackIsNotRun) {
    ToolWritesLog(L"sqlcmd");
    Run();
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"start"}));
    EXPECT_EQ(runner_.runs.back().commandLine,
              L"cmd.exe /c start notepad \"C:\\Temp\\TableScriptResults.log\"");
    for (const ProgramCommand& run : runner_.runs) EXPECT_EQ(run.application, kCmd);
    EXPECT_EQ(runner_.styles, (std::vector<std::int32_t>{0, 0}));  // hidden
}

TEST_F(ScriptRunTest, NoLogAfterThePrimaryRunsTheFallbackWhateverTheExitCodes) {
    runner_.onRun = [](const ProgramCommand&) { return 0; };  // "success", but no log
    Run();
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql", L"start"}));

    runner_.runs.clear();
    ToolWritesLog(L"sqlcmd");
    runner_.onRun = [this, inner = runner_.onRun](const ProgramCommand& c) {
        inner(c);
        return 1;  // failed, but wrote its error text to the log
    };
    Run();
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"start"}));
}

TEST_F(ScriptRunTest, AnOldLogIsDeletedBeforeThePrimaryRuns) {
    files_.files.insert(kLog);
    runner_.onRun = [this](const ProgramCommand&) {
        EXPECT_EQ(files_.files.count(kLog), 0u) << "old log still there when a tool ran";
        return 0;
    };
    Run();
    EXPECT_EQ(files_.log.at(1), L"delete " + kLog);
}

TEST_F(ScriptRunTest, AnUndeletableOldLogMeansNoFallback) {
    files_.files.insert(kLog);
    files_.failDelete = true;
    Run();
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"start"}));
}

TEST_F(ScriptRunTest, FailingExistenceTestsLetTheGuardedStepsRun) {
    files_.failExists = true;
    Run();
    EXPECT_EQ(files_.log,
              (std::vector<std::wstring>{L"exists " + kLog, L"delete " + kLog, L"exists " + kLog}));
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql", L"start"}));
}

TEST_F(ScriptRunTest, RunnerErrorsAreSwallowedAndTheNextStepRuns) {
    runner_.onRun = [](const ProgramCommand&) -> std::int32_t {
        throw Error(kErrorShell, kSyncShellSource, kShellFailure);
    };
    EXPECT_NO_THROW(Run());
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql", L"start"}));
}

TEST_F(ScriptRunTest, ARefusedValueSkipsBothToolsButNotTheViewer) {
    fields_.texts[Field::Password] = L"a\nb";
    EXPECT_NO_THROW(Run());
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"start"}));
}

TEST_F(ScriptRunTest, EachToolLineReadsTheFieldsAfresh) {
    runner_.onRun = [this](const ProgramCommand&) {
        fields_.texts[Field::Database] = L"D2";
        return 0;
    };
    Run();
    ASSERT_EQ(runner_.runs.size(), 3u);
    EXPECT_NE(runner_.runs[0].commandLine.find(L" -d D "), std::wstring::npos);
    EXPECT_NE(runner_.runs[1].commandLine.find(L" -d D2 "), std::wstring::npos);
}

}  // namespace
}  // namespace vantle
