#include "install/script_run.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <utility>

#include "process/process_runner.h"
#include "support/fake_script_tools.h"
#include "support/fakes.h"
#include "support/text.h"

namespace vantle {
namespace {

using testing::FakeEnvironment;
using testing::FakeFileSystem;
using testing::FakeRunner;
using Result = ScriptOutcome::Result;

const std::wstring kLog = L"C:\\Temp\\TableScriptResults.log";
const std::wstring kCmd = L"C:\\Windows\\system32\\cmd.exe";

class ScriptRunTest : public ::testing::Test {
  protected:
    ScriptRunTest() {
        environment_.variables[L"TEMP"] = L"C:\\Temp";
        environment_.programFolder = L"C:\\Vantle";
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
    void ToolWritesLog(const std::wstring& tool, std::int32_t exitCode = 0) {
        runner_.onRun = [this, tool, exitCode](const ProgramCommand& c) {
            if (c.commandLine.find(L"/c " + tool + L" ") != std::wstring::npos)
                files_.files.insert(kLog);
            // start gives 0 once Notepad is started, whatever the tools gave.
            return c.commandLine.find(L"/c start ") != std::wstring::npos ? 0 : exitCode;
        };
    }
    // Each tool as it starts, and "stop?" each time the run asks whether to go on.
    ScriptOutcome Run() {
        return ScriptRun(settings_, environment_, files_, runner_,
                         {[this](ScriptTool tool) { announced_.push_back(ToolName(tool)); },
                          [this] {
                              announced_.push_back(L"stop?");
                              return announced_.size() == stopAsked_;
                          }})
            .RunAll();
    }

    ConnectionSettings settings_{L"S", L"D", L"U", L"P"};
    FakeEnvironment environment_;
    FakeFileSystem files_;
    FakeRunner runner_;
    std::vector<std::wstring> announced_;
    size_t stopAsked_ = 0;  // the operator has asked to stop by the time of this announcement
};

TEST_F(ScriptRunTest, PrimaryWritesTheLogSoTheFallbackIsNotRun) {
    ToolWritesLog(L"sqlcmd");
    EXPECT_EQ(Run().result, Result::LogShown);
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"start"}));
    EXPECT_EQ(announced_, (std::vector<std::wstring>{L"sqlcmd", L"stop?"}));
    EXPECT_EQ(runner_.runs.back().commandLine,
              L"cmd.exe /c start notepad \"C:\\Temp\\TableScriptResults.log\"");
    for (const ProgramCommand& run : runner_.runs) EXPECT_EQ(run.application, kCmd);
    EXPECT_EQ(runner_.styles, (std::vector<std::int32_t>{0, 0}));  // hidden
}

TEST_F(ScriptRunTest, EveryInterpreterRunsInTheProgramFolderAndOnlyToolsGetThePassword) {
    ToolWritesLog(L"osql");  // both tools run
    Run();
    ASSERT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql", L"start"}));
    for (const ProgramCommand& run : runner_.runs) EXPECT_EQ(run.currentFolder, L"C:\\Vantle");
    EXPECT_EQ(runner_.runs[0].environment, (EnvironmentOverrides{{L"SQLCMDPASSWORD", L"P"}}));
    EXPECT_EQ(runner_.runs[1].environment, (EnvironmentOverrides{{L"OSQLPASSWORD", L"P"}}));
    EXPECT_TRUE(runner_.runs[2].environment.empty()) << "Notepad gets no password";
    for (const ProgramCommand& run : runner_.runs)
        EXPECT_EQ(run.commandLine.find(L" -P "), std::wstring::npos);
}

TEST_F(ScriptRunTest, NoLogAfterThePrimaryRunsTheFallbackWhateverTheExitCodes) {
    ToolWritesLog(L"osql");  // sqlcmd "succeeds" but leaves no log
    EXPECT_EQ(Run().result, Result::LogShown);
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql", L"start"}));
    EXPECT_EQ(announced_, (std::vector<std::wstring>{L"sqlcmd", L"stop?", L"osql", L"stop?"}));

    runner_.runs.clear();
    files_.files.clear();
    ToolWritesLog(L"sqlcmd", 1);  // failed, but wrote its error text to the log
    const ScriptOutcome outcome = Run();
    EXPECT_EQ(outcome.result, Result::LogShown);
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"start"}));
    EXPECT_EQ(outcome.primary.exitCode, 1);
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

TEST_F(ScriptRunTest, AnOldLogThatCannotBeDeletedStopsTheRunBeforeAnyTool) {
    files_.files.insert(kLog);
    files_.failDelete = true;
    const ScriptOutcome outcome = Run();
    EXPECT_EQ(outcome.result, Result::OldLogKept);
    EXPECT_EQ(outcome.logPath, kLog);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_EQ(outcome.error->Description(), L"The file is in use.");
    EXPECT_TRUE(runner_.runs.empty()) << "neither a tool nor Notepad may run";
}

TEST_F(ScriptRunTest, ADeletionThatFailsButLeavesNoLogDoesNotStopTheRun) {
    // Gone by the time it was deleted (another program removed it): nothing stale to show.
    files_.files.insert(kLog);
    files_.failDelete = true;
    files_.onDelete = [this] { files_.files.erase(kLog); };
    ToolWritesLog(L"sqlcmd");
    EXPECT_EQ(Run().result, Result::LogShown);
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"start"}));
}

TEST_F(ScriptRunTest, NoLogFromEitherToolIsReportedWithWhatBecameOfEachAndNoNotepad) {
    runner_.onRun = [](const ProgramCommand& c) -> std::int32_t {
        if (c.commandLine.find(L" osql ") != std::wstring::npos)
            throw Error(1359, kSyncShellSource, L"An internal error occurred.");
        return 9009;
    };
    const ScriptOutcome outcome = Run();
    EXPECT_EQ(outcome.result, Result::NoLog);
    EXPECT_EQ(outcome.logPath, kLog);
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql"}));
    EXPECT_EQ(outcome.primary.result, ToolRun::Result::Exited);
    EXPECT_EQ(outcome.primary.exitCode, 9009);
    EXPECT_EQ(outcome.fallback.result, ToolRun::Result::Failed);
    ASSERT_TRUE(outcome.fallback.error.has_value());
    EXPECT_EQ(outcome.fallback.error->Number(), 1359);
}

TEST_F(ScriptRunTest, FailingExistenceTestsLetTheGuardedStepsRun) {
    files_.failExists = true;
    EXPECT_EQ(Run().result, Result::LogShown);
    EXPECT_EQ(files_.log, (std::vector<std::wstring>{L"exists " + kLog, L"delete " + kLog,
                                                     L"exists " + kLog, L"exists " + kLog}));
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql", L"start"}));
}

// A tool's failure to start lets the next step run; Notepad's is told, never swallowed.
TEST_F(ScriptRunTest, RunnerErrorsLetTheNextStepRunAndAViewerThatFailedIsTold) {
    runner_.onRun = [this](const ProgramCommand& c) -> std::int32_t {
        if (c.commandLine.find(L" osql ") != std::wstring::npos) files_.files.insert(kLog);
        throw Error(kErrorShell, kSyncShellSource, kShellFailure);
    };
    ScriptOutcome outcome = Run();
    EXPECT_EQ(outcome.result, Result::ViewerFailed);
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql", L"start"}));
    EXPECT_EQ(outcome.viewer.result, ToolRun::Result::Failed);
    EXPECT_EQ(outcome.viewer.error->Number(), kErrorShell);

    // start found no Notepad: cmd.exe says so by its exit code alone.
    runner_.runs.clear();
    files_.files.clear();
    runner_.onRun = [this](const ProgramCommand& c) -> std::int32_t {
        if (c.commandLine.find(L" start ") != std::wstring::npos) return 9059;
        files_.files.insert(kLog);
        return 0;
    };
    outcome = Run();
    EXPECT_EQ(outcome.result, Result::ViewerFailed);
    EXPECT_EQ(outcome.viewer.exitCode, 9059);
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"start"}));
}

TEST_F(ScriptRunTest, ARefusedValueRunsNoToolTouchesNoFileAndSaysWhy) {
    const std::wstring longFolder = L"C:\\" + std::wstring(9000, L'f');
    for (const auto& [server, programFolder, temp, named] :
         {std::tuple<std::wstring, std::wstring, std::wstring, std::wstring>{
              L"a\nb", L"C:\\Vantle", L"C:\\Temp", L"The server"},
          {std::wstring(9000, L's'), L"C:\\Vantle", L"C:\\Temp", L"The server is too long"},
          {L"S", longFolder, L"C:\\Temp", L"The program folder is too long"},
          {L"S", L"C:\\Vantle", longFolder, L"The temporary folder is too long"}}) {
        settings_.server = server;
        environment_.programFolder = programFolder;
        environment_.variables[L"TEMP"] = temp;
        const std::wstring log = ResultLogPath(temp);
        files_.files = {log};
        files_.log.clear();
        ScriptRun script(settings_, environment_, files_, runner_);
        // Asked before anything else happens, it names the same value the run refuses.
        const std::optional<Error> refusal = script.Refusal();
        const ScriptOutcome outcome = script.RunAll();
        EXPECT_EQ(outcome.result, Result::Refused);
        EXPECT_TRUE(runner_.runs.empty());
        EXPECT_TRUE(files_.log.empty()) << "the old log was touched";
        ASSERT_TRUE(outcome.error.has_value() && refusal.has_value());
        EXPECT_EQ(outcome.error->Description().rfind(named, 0), 0u)
            << testing::Narrow(outcome.error->Description());
        EXPECT_EQ(refusal->Description(), outcome.error->Description());
    }
}

// The quoted path each command line ends with: the tools' -o and Notepad's file.
std::vector<std::wstring> LogsNamed(const std::vector<ProgramCommand>& runs) {
    std::vector<std::wstring> logs;
    for (const ProgramCommand& run : runs) {
        const std::wstring& line = run.commandLine;
        const auto quote = line.rfind(L'"', line.size() - 2);
        logs.push_back(line.substr(quote + 1, line.size() - quote - 2));
    }
    return logs;
}

TEST_F(ScriptRunTest, WithoutAnAbsoluteTempEveryStepNamesTheLogResolvedOnce) {
    // The tools run in the program folder, on another drive than this program's current
    // folder: an unresolved "\\TableScriptResults.log" would be a different file for them.
    for (const auto& [temp, resolved] :
         {std::pair<std::wstring, std::wstring>{L"", L"D:\\TableScriptResults.log"},
          {L"tmp", L"D:\\Downloads\\tmp\\TableScriptResults.log"}}) {
        SCOPED_TRACE(std::string(temp.begin(), temp.end()));
        environment_.variables[L"TEMP"] = temp;
        files_.log.clear();
        runner_.runs.clear();
        files_.files = {resolved};
        // sqlcmd writes the log it was given; osql must then not run.
        runner_.onRun = [this](const ProgramCommand& c) {
            if (c.commandLine.find(L"/c sqlcmd ") != std::wstring::npos)
                files_.files.insert(LogsNamed({c}).front());
            return 0;
        };
        const ScriptOutcome outcome = Run();
        EXPECT_EQ(outcome.result, Result::LogShown);
        EXPECT_EQ(outcome.logPath, resolved);
        EXPECT_EQ(files_.log,
                  (std::vector<std::wstring>{L"full " + ResultLogPath(temp), L"exists " + resolved,
                                             L"delete " + resolved, L"exists " + resolved,
                                             L"exists " + resolved}));
        EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"start"}));
        EXPECT_EQ(LogsNamed(runner_.runs), (std::vector<std::wstring>{resolved, resolved}));
    }
}

TEST_F(ScriptRunTest, AnAbsoluteTempIsUsedAsItStands) {
    for (const std::wstring temp : {L"C:\\Temp", L"c:/temp", L"\\\\server\\temp"}) {
        environment_.variables[L"TEMP"] = temp;
        files_.log.clear();
        runner_.runs.clear();
        files_.files.clear();
        const std::wstring log = temp + L"\\TableScriptResults.log";
        runner_.onRun = [this, log](const ProgramCommand& c) {  // sqlcmd, osql and Notepad run
            if (c.commandLine.find(L"/c osql ") != std::wstring::npos) files_.files.insert(log);
            return 0;
        };
        EXPECT_EQ(Run().logPath, log);
        EXPECT_EQ(LogsNamed(runner_.runs), (std::vector<std::wstring>{log, log, log}));
        for (const std::wstring& step : files_.log)
            EXPECT_EQ(step.rfind(L"full ", 0), std::wstring::npos);
    }
}

}  // namespace
}  // namespace vantle

namespace vantle {
namespace {

// A runner whose run of `tool` is stopped by the operator, as the real one reports it.
void StopWhenRunning(FakeRunner& runner, const std::wstring& tool) {
    runner.onRun = [tool](const ProgramCommand& c) -> std::int32_t {
        if (c.commandLine.find(L"/c " + tool + L" ") != std::wstring::npos)
            throw Error(kErrorStopped, kSyncShellSource, kStoppedDescription);
        return 0;
    };
}

TEST_F(ScriptRunTest, AStoppedToolEndsTheRunWithNoFallbackAndNoNotepad) {
    StopWhenRunning(runner_, L"sqlcmd");
    ScriptOutcome outcome = Run();
    EXPECT_EQ(outcome.result, Result::Stopped);
    EXPECT_EQ(outcome.primary.result, ToolRun::Result::Stopped);
    EXPECT_EQ(outcome.logPath, kLog);
    EXPECT_EQ(Programs(), std::vector<std::wstring>{L"sqlcmd"});

    runner_.runs.clear();
    StopWhenRunning(runner_, L"osql");  // sqlcmd left no log; osql is stopped
    outcome = Run();
    EXPECT_EQ(outcome.result, Result::Stopped);
    EXPECT_EQ(outcome.primary.result, ToolRun::Result::Exited);
    EXPECT_EQ(outcome.fallback.result, ToolRun::Result::Stopped);
    EXPECT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql"}));

    // sqlcmd wrote half a log, and then its end could no longer be waited for: the runner has
    // ended it, and its half log is neither run over by osql nor shown as the result.
    runner_.runs.clear();
    runner_.onRun = [this](const ProgramCommand& c) -> std::int32_t {
        files_.files.insert(kLog);
        if (c.commandLine.find(L"/c sqlcmd ") != std::wstring::npos)
            throw Error(kErrorWaitFailed, kSyncShellSource, L"error 6: invalid handle");
        return 0;
    };
    outcome = Run();
    EXPECT_EQ(outcome.result, Result::WaitFailed);
    EXPECT_EQ(outcome.primary.result, ToolRun::Result::WaitFailed);
    EXPECT_EQ(outcome.primary.error->Description(), L"error 6: invalid handle");
    EXPECT_TRUE(outcome.logLeft);
    EXPECT_EQ(Programs(), std::vector<std::wstring>{L"sqlcmd"});
}

// The operator asked to stop as a tool ended by itself (a way out read once it had, or Yes to a
// question it ended under): nothing more starts, whatever the tool left.
TEST_F(ScriptRunTest, AStopAskedAsAToolEndedByItselfEndsTheRunThere) {
    struct Case {
        const wchar_t* writer;  // the tool that writes the log, or none
        size_t stopAt;          // the announcement by which the stop was asked
        std::vector<std::wstring> programs;
        bool logLeft;
    };
    for (const Case& c : {Case{L"", 2, {L"sqlcmd"}, false}, Case{L"sqlcmd", 2, {L"sqlcmd"}, true},
                          Case{L"osql", 4, {L"sqlcmd", L"osql"}, true}}) {
        SCOPED_TRACE(c.stopAt);
        runner_.runs.clear();
        files_.files.clear();
        announced_.clear();
        ToolWritesLog(c.writer, 3);
        stopAsked_ = c.stopAt;
        const ScriptOutcome outcome = Run();
        EXPECT_EQ(outcome.result, Result::Stopped);
        EXPECT_EQ(Programs(), c.programs) << "no fallback, no Notepad";
        EXPECT_EQ(announced_.size(), c.stopAt) << "a tool started after the stop";
        EXPECT_EQ(outcome.logLeft, c.logLeft);
        EXPECT_EQ(outcome.primary.result, ToolRun::Result::Exited);
        EXPECT_EQ(outcome.primary.exitCode, 3);
    }
}

TEST_F(ScriptRunTest, OnlyTheToolsEndWithTheProgramNotepadOutlivesIt) {
    ToolWritesLog(L"osql");
    Run();
    ASSERT_EQ(Programs(), (std::vector<std::wstring>{L"sqlcmd", L"osql", L"start"}));
    EXPECT_TRUE(runner_.runs[0].endsWithThisProgram);
    EXPECT_TRUE(runner_.runs[1].endsWithThisProgram);
    EXPECT_FALSE(runner_.runs[2].endsWithThisProgram);
}

}  // namespace
}  // namespace vantle
