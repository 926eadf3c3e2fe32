// The script run with the real cmd.exe, real child processes and real files under Wine; only
// sqlcmd, osql and notepad are stand-ins.
#include "install/script_run.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <random>

#include "common/environment_win.h"
#include "install/cmd_quoting.h"
#include "install/file_system_win.h"
#include "install/script_commands.h"
#include "process/shell_module_win.h"
#include "support/command_line_models.h"
#include "support/fakes.h"
#include "support/standin_calls.h"
#include "support/start_retries_win.h"
#include "support/win_test_support.h"

namespace vantle {
namespace {

using namespace std::chrono_literals;
using testing::ReadCalls;
using testing::StandinCall;
using testing::StandinSetup;
using testing::TempDir;

class ScriptRunWinTest : public ::testing::Test {
  protected:
    ScriptRunWinTest() {
        std::filesystem::create_directories(temp_);
        std::filesystem::create_directories(program_);
        environment_.variables[L"TEMP"] = temp_.wstring();
        environment_.programFolder = program_.wstring();
        environment_.systemFolder = WindowsEnvironment().SystemFolder();
        fields_.texts = {{Field::Server, L"SQLHOST\\Q1"},
                         {Field::Database, L"QuillDB"},
                         {Field::User, L"quillmar"},
                         {Field::Password, L"8vek3"}};
    }

    void Run() {
        WindowsFileSystem files;
        ShellProcessRunner runner;
        ScriptRun(fields_, environment_, files, runner).RunAll();
    }
    std::vector<StandinCall> Calls(const std::wstring& tool) { return ReadCalls(records_, tool); }
    // Notepad is started through "start": the run does not wait for it.
    std::vector<StandinCall> NotepadCalls() {
        testing::WaitUntil([&] { return !Calls(L"notepad").empty(); }, 20s);
        return Calls(L"notepad");
    }
    std::filesystem::path Log() const { return temp_ / L"TableScriptResults.log"; }
    std::vector<std::wstring> ToolArgs() const {
        return {L"-S", L"SQLHOST\\Q1",
                L"-U", L"quillmar",
                L"-P", L"8vek3",
                L"-d", L"QuillDB",
                L"-i", (program_ / L"TableScripts.sql").wstring(),
                L"-o", Log().wstring()};
    }

    TempDir root_{L"run"};
    std::filesystem::path records_ = root_.Path();
    std::filesystem::path temp_ = root_.Path() / L"Temp Folder";
    std::filesystem::path program_ = root_.Path() / L"Program (x86)";
    testing::FakeEnvironment environment_;
    testing::FakeFields fields_;
    StandinSetup standins_{records_};
};

std::vector<std::wstring> Tail(const StandinCall& call) {
    return std::vector<std::wstring>(call.args.begin() + 1, call.args.end());
}

TEST_F(ScriptRunWinTest, PrimaryWritesTheLogSoOnlySqlcmdRunsAndNotepadGetsTheLog) {
    StandinSetup::Behave(L"sqlcmd", true, 1);  // failed, but its error text is in the log
    Run();
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Tail(Calls(L"sqlcmd")[0]), ToolArgs());
    EXPECT_TRUE(Calls(L"osql").empty());
    const auto notepad = NotepadCalls();
    ASSERT_EQ(notepad.size(), 1u);
    EXPECT_EQ(Tail(notepad[0]), std::vector<std::wstring>{Log().wstring()});
    EXPECT_EQ(testing::ReadBytes(Log()), "sqlcmd wrote this\r\n");
}

TEST_F(ScriptRunWinTest, NoLogFromSqlcmdRunsOsqlWithTheSameArguments) {
    StandinSetup::Behave(L"osql", true);
    Run();
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    ASSERT_EQ(Calls(L"osql").size(), 1u);
    EXPECT_EQ(Tail(Calls(L"osql")[0]), ToolArgs());
    EXPECT_EQ(testing::ReadBytes(Log()), "osql wrote this\r\n");
    EXPECT_EQ(NotepadCalls().size(), 1u);
}

TEST_F(ScriptRunWinTest, NeitherToolPresentStillStartsNotepadOnTheLogPath) {
    // Only notepad's stand-in on PATH: cmd.exe cannot find sqlcmd or osql.
    const TempDir onlyNotepad{L"np"};
    std::filesystem::copy_file(testing::StandinFolder() / L"notepad.exe",
                               onlyNotepad.Path() / L"notepad.exe");
    SetEnvironmentVariableW(L"PATH", (onlyNotepad.Win() + L";C:\\windows\\system32").c_str());
    Run();
    EXPECT_TRUE(Calls(L"sqlcmd").empty());
    EXPECT_FALSE(std::filesystem::exists(Log()));
    const auto notepad = NotepadCalls();
    ASSERT_EQ(notepad.size(), 1u);
    EXPECT_EQ(Tail(notepad[0]), std::vector<std::wstring>{Log().wstring()});
}

TEST_F(ScriptRunWinTest, AnOldLogIsDeletedFirstButAHiddenOneIsNotSeen) {
    testing::WriteBytes(Log(), "old");
    Run();  // sqlcmd writes nothing: had the old log survived, osql would not have run
    EXPECT_EQ(Calls(L"osql").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(Log()));

    testing::WriteBytes(Log(), "hidden");
    SetFileAttributesW(Log().c_str(), FILE_ATTRIBUTE_HIDDEN);
    Run();
    EXPECT_EQ(testing::ReadBytes(Log()), "hidden") << "a hidden log is not deleted";
    EXPECT_EQ(Calls(L"osql").size(), 2u) << "a hidden log does not count as written";
}

TEST_F(ScriptRunWinTest, ProgramFolderAtADriveRootGivesADoubledBackslash) {
    environment_.programFolder = L"C:\\";
    StandinSetup::Behave(L"sqlcmd", true);
    Run();
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_NE(Calls(L"sqlcmd")[0].commandLine.find(L"-i \"C:\\\\TableScripts.sql\""),
              std::wstring::npos);
    EXPECT_EQ(Calls(L"sqlcmd")[0].args.at(10), L"C:\\\\TableScripts.sql");
}

TEST_F(ScriptRunWinTest, UnsetTempPutsTheLogInTheRootOfTheCurrentDrive) {
    environment_.variables.erase(L"TEMP");
    Run();
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Calls(L"sqlcmd")[0].args.at(12), L"\\TableScriptResults.log");
    const auto notepad = NotepadCalls();
    ASSERT_EQ(notepad.size(), 1u);
    EXPECT_EQ(Tail(notepad[0]), std::vector<std::wstring>{L"\\TableScriptResults.log"});
}

TEST_F(ScriptRunWinTest, APlantedCmdExeIsNeverRun) {
    // A cmd.exe beside the running program and one in the current folder: both come before
    // the system folder in the platform's search for a bare "cmd.exe".
    const TempDir current{L"cwd"};
    const auto besideProgram = testing::BinFolder() / L"cmd.exe";
    for (const auto& plant : {current.Path() / L"cmd.exe", besideProgram})
        std::filesystem::copy_file(testing::StandinFolder() / L"sqlcmd.exe", plant,
                                   std::filesystem::copy_options::overwrite_existing);
    wchar_t oldCurrent[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, oldCurrent);
    SetCurrentDirectoryW(current.Win().c_str());
    Run();
    SetCurrentDirectoryW(oldCurrent);
    std::filesystem::remove(besideProgram);
    EXPECT_TRUE(Calls(L"cmd").empty()) << "a planted cmd.exe ran";
    EXPECT_EQ(Calls(L"sqlcmd").size(), 1u);
}

// Every field and both folders at once, through the real cmd.exe to the stand-in: each value
// arrives as exactly one argument holding exactly its text, and nothing else runs.
class RoundTrip : public ScriptRunWinTest {
  protected:
    void Check(const ToolSettings& s, const std::wstring& programFolder,
               const std::wstring& tempFolder) {
        const std::wstring line =
            ToolCommandLine(ScriptTool::Primary, s, programFolder, tempFolder);
        retries_.Run(
            [&] {
                ShellModule::SyncShell(
                    ProgramCommand{environment_.systemFolder + L"\\cmd.exe", line}, kWindowHidden);
            },
            [&] { return !Calls(L"sqlcmd").empty(); });
        const auto calls = Calls(L"sqlcmd");
        ASSERT_EQ(calls.size(), 1u) << "line: " << testing::ToUtf8Text(line);
        SCOPED_TRACE("received: " + testing::ToUtf8Text(calls[0].commandLine));
        const std::vector<std::wstring> expected{L"-S", s.server,
                                                 L"-U", s.login,
                                                 L"-P", s.password,
                                                 L"-d", s.database,
                                                 L"-i", ScriptPath(programFolder),
                                                 L"-o", ResultLogPath(tempFolder)};
        EXPECT_EQ(Tail(calls[0]), expected) << "line: " << testing::ToUtf8Text(line);
        // The tool's own C runtime splits the same way as CommandLineToArgvW did.
        const auto crt = testing::CrtArguments(calls[0].commandLine);
        EXPECT_EQ(std::vector<std::wstring>(crt.begin() + 1, crt.end()), expected);
        std::filesystem::remove(records_ / L"sqlcmd.calls");
        for (const auto& entry : std::filesystem::directory_iterator(cwd_.Path()))
            ADD_FAILURE() << "something ran and left " << entry.path().string();
    }

    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, oldCurrent_);
        SetCurrentDirectoryW(cwd_.Win().c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryW(oldCurrent_);
        for (const auto& entry : std::filesystem::directory_iterator(records_)) {
            if (entry.path().extension() == L".calls")
                ADD_FAILURE() << "another program ran: " << entry.path().filename().string();
        }
    }

    TempDir cwd_{L"cwd"};
    wchar_t oldCurrent_[MAX_PATH] = {};
    testing::StartRetries retries_;
};

TEST_F(RoundTrip, KnownAttackStrings) {
    for (const wchar_t* value :
         {L"x & echo pwned > p.txt", L"%PATH%", L"!x!", L"^", L"\"", L"\\\"", L"a\\", L"", L"a b",
          L"x | echo pwned > p.txt", L"(echo pwned) > p.txt", L"\" & echo pwned > p.txt & \"",
          L"%TEMP%%PATH%", L"-Q \"drop table vantle\"", L"\u00e9t\u00e9 \u4e2d\u6587"}) {
        SCOPED_TRACE(testing::ToUtf8Text(value));
        Check({value, value, value, value}, L"C:\\V", L"C:\\T");
        Check({L"s", L"u", L"p", L"d"}, std::wstring(L"C:\\") + value,
              std::wstring(L"C:\\") + value);
    }
}

TEST_F(RoundTrip, FiveHundredRandomHardValuesInEveryPlace) {
    std::mt19937 random(4711);
    for (int i = 0; i < 500; ++i) {
        const auto next = [&] { return testing::RandomHardValue(random, 10); };
        const ToolSettings s{next(), next(), next(), next()};
        const std::wstring programFolder = next(), tempFolder = next();
        Check(s, programFolder, tempFolder);
        if (HasFatalFailure() || HasFailure()) break;
    }
}

}  // namespace
}  // namespace vantle
