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
    }

    ScriptOutcome Run() {
        WindowsFileSystem files;
        ShellProcessRunner runner;
        return ScriptRun(settings_, environment_, files, runner).RunAll();
    }
    std::vector<StandinCall> Calls(const std::wstring& tool) { return ReadCalls(records_, tool); }
    // Notepad is started through "start": the run does not wait for it.
    std::vector<StandinCall> NotepadCalls() {
        testing::WaitUntil([&] { return !Calls(L"notepad").empty(); }, 20s);
        return Calls(L"notepad");
    }
    std::filesystem::path Log() const { return temp_ / L"TableScriptResults.log"; }
    std::vector<std::wstring> ToolArgs() const {
        return {L"-S", L"SQLHOST\\Q1", L"-U", L"quillmar",
                L"-d", L"QuillDB",     L"-i", (program_ / L"TableScripts.sql").wstring(),
                L"-o", Log().wstring()};
    }

    TempDir root_{L"run"};
    std::filesystem::path records_ = root_.Path();
    std::filesystem::path temp_ = root_.Path() / L"Temp Folder";
    std::filesystem::path program_ = root_.Path() / L"Program (x86)";
    testing::FakeEnvironment environment_;
    ConnectionSettings settings_{L"SQLHOST\\Q1", L"QuillDB", L"quillmar", L"8vek3"};
    StandinSetup standins_{records_};
};

std::vector<std::wstring> Tail(const StandinCall& call) {
    return std::vector<std::wstring>(call.args.begin() + 1, call.args.end());
}

TEST_F(ScriptRunWinTest, PrimaryWritesTheLogSoOnlySqlcmdRunsAndNotepadGetsTheLog) {
    StandinSetup::Behave(L"sqlcmd", true, 1);  // failed, but its error text is in the log
    EXPECT_EQ(Run().result, ScriptOutcome::Result::LogShown);
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Tail(Calls(L"sqlcmd")[0]), ToolArgs());
    EXPECT_EQ(Calls(L"sqlcmd")[0].sqlcmdPassword, L"8vek3");
    EXPECT_FALSE(Calls(L"sqlcmd")[0].wouldPrompt);
    EXPECT_TRUE(Calls(L"osql").empty());
    const auto notepad = NotepadCalls();
    ASSERT_EQ(notepad.size(), 1u);
    EXPECT_EQ(Tail(notepad[0]), std::vector<std::wstring>{Log().wstring()});
    EXPECT_FALSE(notepad[0].sqlcmdPassword.has_value()) << "Notepad never gets the password";
    EXPECT_EQ(notepad[0].currentFolder, program_.wstring());
    EXPECT_EQ(testing::ReadBytes(Log()), "sqlcmd wrote this\r\n");
}

TEST_F(ScriptRunWinTest, NoLogFromSqlcmdRunsOsqlWithTheSameArguments) {
    StandinSetup::Behave(L"osql", true);
    Run();
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    ASSERT_EQ(Calls(L"osql").size(), 1u);
    EXPECT_EQ(Tail(Calls(L"osql")[0]), ToolArgs());
    EXPECT_EQ(Calls(L"osql")[0].osqlPassword, L"8vek3");
    EXPECT_FALSE(Calls(L"osql")[0].sqlcmdPassword.has_value());
    EXPECT_FALSE(Calls(L"osql")[0].wouldPrompt);
    EXPECT_EQ(testing::ReadBytes(Log()), "osql wrote this\r\n");
    EXPECT_EQ(NotepadCalls().size(), 1u);
}

TEST_F(ScriptRunWinTest, NeitherToolPresentEndsWithNoLogAndNoNotepad) {
    // Only notepad's stand-in on PATH: cmd.exe cannot find sqlcmd or osql.
    const TempDir onlyNotepad{L"np"};
    std::filesystem::copy_file(testing::StandinFolder() / L"notepad.exe",
                               onlyNotepad.Path() / L"notepad.exe");
    SetEnvironmentVariableW(L"PATH", (onlyNotepad.Win() + L";C:\\windows\\system32").c_str());
    const ScriptOutcome outcome = Run();
    EXPECT_EQ(outcome.result, ScriptOutcome::Result::NoLog);
    EXPECT_EQ(outcome.primary.exitCode, 9009) << "cmd.exe's word for a program not found";
    EXPECT_EQ(outcome.fallback.exitCode, 9009);
    EXPECT_TRUE(Calls(L"sqlcmd").empty());
    EXPECT_FALSE(std::filesystem::exists(Log()));
    Sleep(1000);  // Notepad would have been started through "start", without waiting
    EXPECT_TRUE(Calls(L"notepad").empty());
}

TEST_F(ScriptRunWinTest, AReadOnlyOldLogStopsTheRunBeforeAnyTool) {
    testing::WriteBytes(Log(), "an earlier run's log");
    SetFileAttributesW(Log().c_str(), FILE_ATTRIBUTE_READONLY);
    const ScriptOutcome outcome = Run();
    EXPECT_EQ(outcome.result, ScriptOutcome::Result::OldLogKept);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_EQ(outcome.error->Number(), ErrorNumber(0x80070005u)) << "access denied";
    EXPECT_EQ(testing::ReadBytes(Log()), "an earlier run's log");
    Sleep(1000);
    for (const wchar_t* tool : {L"sqlcmd", L"osql", L"notepad"}) EXPECT_TRUE(Calls(tool).empty());
}

TEST_F(ScriptRunWinTest, ToolsLyingInTheCurrentFolderAreNeverRun) {
    // An operator who starts the program from a downloads folder or a share: cmd.exe looks in
    // its current folder before PATH.
    const TempDir downloads{L"dl"};
    for (const wchar_t* tool : {L"sqlcmd.exe", L"osql.exe", L"notepad.exe"})
        std::filesystem::copy_file(testing::StandinFolder() / tool, downloads.Path() / tool);
    StandinSetup::Behave(L"osql", true);
    wchar_t oldCurrent[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, oldCurrent);
    SetCurrentDirectoryW(downloads.Win().c_str());
    Run();
    const auto notepad = NotepadCalls();
    SetCurrentDirectoryW(oldCurrent);
    std::vector<StandinCall> all = Calls(L"sqlcmd");
    for (const wchar_t* tool : {L"osql", L"notepad"})
        for (const StandinCall& call : Calls(tool)) all.push_back(call);
    ASSERT_EQ(all.size(), 3u);
    for (const StandinCall& call : all) {
        EXPECT_EQ(std::filesystem::path(call.programFile).parent_path(), testing::StandinFolder())
            << testing::ToUtf8Text(call.programFile);
        EXPECT_EQ(call.currentFolder, program_.wstring());
    }
}

TEST_F(ScriptRunWinTest, ThePasswordTypedOverridesTheOperatorsOwnVariable) {
    SetEnvironmentVariableW(L"SQLCMDPASSWORD", L"from the operator's profile");
    StandinSetup::Behave(L"sqlcmd", true);
    Run();
    SetEnvironmentVariableW(L"SQLCMDPASSWORD", nullptr);
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Calls(L"sqlcmd")[0].sqlcmdPassword, L"8vek3");
    wchar_t probe[8];
    EXPECT_EQ(GetEnvironmentVariableW(L"OSQLPASSWORD", probe, 8), 0u);
}

TEST_F(ScriptRunWinTest, AnEmptyPasswordIsPassedAsAnEmptyOptionNotLeftToAPrompt) {
    settings_.password.clear();
    StandinSetup::Behave(L"sqlcmd", true);
    Run();
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_FALSE(Calls(L"sqlcmd")[0].wouldPrompt);
    const auto args = Tail(Calls(L"sqlcmd")[0]);
    ASSERT_GE(args.size(), 6u);
    EXPECT_EQ(args[4], L"-P");
    EXPECT_EQ(args[5], L"");
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
    EXPECT_EQ(Calls(L"sqlcmd")[0].args.at(8), L"C:\\\\TableScripts.sql");
}

TEST_F(ScriptRunWinTest, UnsetTempPutsTheLogInTheRootOfTheCurrentDrive) {
    environment_.variables.erase(L"TEMP");
    StandinSetup::Behave(L"sqlcmd", true);
    // The program and its tools then share the program folder's drive.
    wchar_t oldCurrent[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, oldCurrent);
    SetCurrentDirectoryW(program_.c_str());
    const ScriptOutcome outcome = Run();
    const auto notepad = NotepadCalls();
    DeleteFileW(L"\\TableScriptResults.log");
    SetCurrentDirectoryW(oldCurrent);
    EXPECT_EQ(outcome.result, ScriptOutcome::Result::LogShown);
    // Named with its drive, so that the tools' current folder cannot move it.
    const std::wstring log = program_.root_name().wstring() + L"\\TableScriptResults.log";
    ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
    EXPECT_EQ(Calls(L"sqlcmd")[0].args.at(10), log);
    ASSERT_EQ(notepad.size(), 1u);
    EXPECT_EQ(Tail(notepad[0]), std::vector<std::wstring>{log});
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

// Passwords of every shape, through the real cmd.exe to the stand-ins: each reaches the tool's
// own variable exactly and stands on no command line that was created.
std::wstring GeneratedPassword(std::mt19937& random) {
    static const std::wstring extra = L"\u00e9\u00fc\u00df\u4e2d\u0416\u20ac";
    std::uniform_int_distribution<int> length(1, 128), printable(0x20, 0x7E), pick(0, 9);
    std::wstring password;
    const int target = length(random);
    while (static_cast<int>(password.size()) < target) {
        switch (pick(random)) {
            case 0:
                password += L"%PATH%";
                break;
            case 1:
                password += L"!TEMP!";
                break;
            case 2:
                password += extra[static_cast<size_t>(pick(random)) % extra.size()];
                break;
            default:
                password += static_cast<wchar_t>(printable(random));
        }
    }
    password.resize(static_cast<size_t>(target));
    if (pick(random) == 0) password[0] = L'=';
    return password;
}

class RecordingRunner final : public ProcessRunner {
  public:
    std::int32_t Run(const ProgramCommand& command, std::int32_t windowStyle) override {
        lines.push_back(command.commandLine);
        return real.Run(command, windowStyle);
    }
    ShellProcessRunner real;
    std::vector<std::wstring> lines;
};

TEST_F(ScriptRunWinTest, FiveHundredGeneratedPasswordsReachTheToolOnlyThroughItsVariable) {
    std::mt19937 random(88);
    WindowsFileSystem files;
    testing::StartRetries retries;
    for (int i = 0; i < 500; ++i) {
        settings_.password = GeneratedPassword(random);
        const ScriptTool tool = i % 2 == 0 ? ScriptTool::Primary : ScriptTool::Fallback;
        const std::wstring name = ToolName(tool);
        SCOPED_TRACE(testing::ToUtf8Text(settings_.password));
        RecordingRunner runner;
        ScriptRun run(settings_, environment_, files, runner);
        retries.Run(
            [&] {
                const ToolRun ran = run.RunTool(tool);
                if (ran.error) throw *ran.error;
            },
            [&] { return !Calls(name).empty(); });
        const std::vector<StandinCall> calls = Calls(name);
        ASSERT_EQ(calls.size(), 1u);
        const auto& received =
            tool == ScriptTool::Primary ? calls[0].sqlcmdPassword : calls[0].osqlPassword;
        ASSERT_EQ(received, settings_.password);
        EXPECT_FALSE(calls[0].wouldPrompt);
        std::vector<std::wstring> lines = runner.lines;
        lines.push_back(calls[0].commandLine);
        for (const std::wstring& line : lines) {
            EXPECT_EQ(line.find(L" -P "), std::wstring::npos);
            // Too short a password may stand in a line by chance.
            if (settings_.password.size() >= 6) {
                ASSERT_EQ(line.find(settings_.password), std::wstring::npos)
                    << testing::ToUtf8Text(line);
            }
        }
        std::filesystem::remove(records_ / (name + L".calls"));
    }
}

// Every field and both folders at once, through the real cmd.exe to the stand-in: each value
// arrives as exactly one argument holding exactly its text, and nothing else runs.
class RoundTrip : public ScriptRunWinTest {
  protected:
    void Check(const ConnectionSettings& s, const std::wstring& programFolder,
               const std::wstring& tempFolder) {
        const ToolCommand tool =
            ToolCommandFor(ScriptTool::Primary, s, programFolder, ResultLogPath(tempFolder));
        const std::wstring& line = tool.commandLine;
        ProgramCommand command(environment_.systemFolder + L"\\cmd.exe", line);
        command.environment = tool.environment;
        retries_.Run([&] { ShellModule::SyncShell(command, kWindowHidden); },
                     [&] { return !Calls(L"sqlcmd").empty(); });
        const auto calls = Calls(L"sqlcmd");
        ASSERT_EQ(calls.size(), 1u) << "line: " << testing::ToUtf8Text(line);
        SCOPED_TRACE("received: " + testing::ToUtf8Text(calls[0].commandLine));
        std::vector<std::wstring> expected{L"-S", s.server, L"-U", s.login};
        if (s.password.empty()) {
            expected.insert(expected.end(), {L"-P", L""});
        } else {
            EXPECT_EQ(calls[0].sqlcmdPassword, s.password);
        }
        EXPECT_FALSE(calls[0].wouldPrompt);
        expected.insert(expected.end(), {L"-d", s.database, L"-i", ScriptPath(programFolder), L"-o",
                                         ResultLogPath(tempFolder)});
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
        Check({L"s", L"d", L"u", L"p"}, std::wstring(L"C:\\") + value,
              std::wstring(L"C:\\") + value);
    }
}

TEST_F(RoundTrip, FiveHundredRandomHardValuesInEveryPlace) {
    std::mt19937 random(4711);
    for (int i = 0; i < 500; ++i) {
        const auto next = [&] { return testing::RandomHardValue(random, 10); };
        const ConnectionSettings s{next(), next(), next(), next()};
        const std::wstring programFolder = next(), tempFolder = next();
        Check(s, programFolder, tempFolder);
        if (HasFatalFailure() || HasFailure()) break;
    }
}

}  // namespace
}  // namespace vantle
