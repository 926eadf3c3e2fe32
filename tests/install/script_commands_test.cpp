#include "install/script_commands.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "install/cmd_quoting.h"
#include "support/command_line_models.h"

namespace vantle {
namespace {

const ConnectionSettings kPlain{L"SQLHOST\\Q1", L"QuillDB", L"quillmar", L"8vek3"};
using Overrides = EnvironmentOverrides;

TEST(ToolLines, PlainValuesGiveTheExactLinesWithThePasswordInTheToolsOwnVariable) {
    const ToolCommand sqlcmd =
        ToolCommandFor(ScriptTool::Primary, kPlain, L"C:\\Vantle", ResultLogPath(L"C:\\Temp"));
    EXPECT_EQ(sqlcmd.commandLine,
              L"cmd.exe /c sqlcmd -S SQLHOST\\Q1 -U quillmar -d QuillDB "
              L"-i \"C:\\Vantle\\TableScripts.sql\" -o \"C:\\Temp\\TableScriptResults.log\"");
    EXPECT_EQ(sqlcmd.environment, (Overrides{{L"SQLCMDPASSWORD", L"8vek3"}}));

    const ToolCommand osql =
        ToolCommandFor(ScriptTool::Fallback, kPlain, L"C:\\Vantle", ResultLogPath(L"C:\\Temp"));
    EXPECT_EQ(osql.commandLine,
              L"cmd.exe /c osql -S SQLHOST\\Q1 -U quillmar -d QuillDB "
              L"-i \"C:\\Vantle\\TableScripts.sql\" -o \"C:\\Temp\\TableScriptResults.log\"");
    EXPECT_EQ(osql.environment, (Overrides{{L"OSQLPASSWORD", L"8vek3"}}));

    EXPECT_EQ(ViewerCommandLine(ResultLogPath(L"C:\\Temp")),
              L"cmd.exe /c start notepad \"C:\\Temp\\TableScriptResults.log\"");
}

TEST(ToolLines, AnEmptyPasswordIsGivenAsAnEmptyOptionSoTheToolNeverPrompts) {
    ConnectionSettings empty = kPlain;
    empty.password.clear();
    const ToolCommand sqlcmd =
        ToolCommandFor(ScriptTool::Primary, empty, L"C:\\Vantle", ResultLogPath(L"C:\\Temp"));
    EXPECT_EQ(sqlcmd.commandLine,
              L"cmd.exe /c sqlcmd -S SQLHOST\\Q1 -U quillmar -P \"\" -d QuillDB "
              L"-i \"C:\\Vantle\\TableScripts.sql\" -o \"C:\\Temp\\TableScriptResults.log\"");
    EXPECT_TRUE(sqlcmd.environment.empty());
    const auto afterCmd = testing::CmdModel(sqlcmd.commandLine.substr(11), {});
    ASSERT_TRUE(afterCmd.has_value());
    const auto args = testing::CrtArguments(*afterCmd);
    ASSERT_GE(args.size(), 7u);
    EXPECT_EQ(args[5], L"-P");
    EXPECT_EQ(args[6], L"");
}

TEST(ToolLines, HostilePasswordsGoToTheVariableUnchangedAndNeverOntoTheLine) {
    for (const wchar_t* password :
         {L"p\"w%PATH%!x!^", L"=leading", L"a & b | c > d", L"%SQLCMDPASSWORD%", L"  blanks  ",
          L"caf\u00e9 \u4e2d", L"-P secret", L"\"", L"line\r\nbreak"}) {
        const ConnectionSettings s{L"S", L"D", L"U", password};
        const ToolCommand command =
            ToolCommandFor(ScriptTool::Primary, s, L"C:\\V", ResultLogPath(L"C:\\T"));
        EXPECT_EQ(command.environment, (Overrides{{L"SQLCMDPASSWORD", password}}));
        EXPECT_EQ(command.commandLine.find(L"-P"), std::wstring::npos);
        EXPECT_EQ(command.commandLine.rfind(L"cmd.exe /c sqlcmd ", 0), 0u)
            << "a '!' in the password is no longer on the line, so no /V:OFF for it";
    }
}

TEST(ToolLines, FoldersWithSpacesStandInsideTheirQuotes) {
    EXPECT_EQ(ToolCommandFor(ScriptTool::Primary, kPlain, L"C:\\Program Files (x86)\\Vantle",
                             ResultLogPath(L"C:\\Users\\Jo Smith\\AppData\\Local\\Temp"))
                  .commandLine,
              L"cmd.exe /c sqlcmd -S SQLHOST\\Q1 -U quillmar -d QuillDB "
              L"-i \"C:\\Program Files (x86)\\Vantle\\TableScripts.sql\" "
              L"-o \"C:\\Users\\Jo Smith\\AppData\\Local\\Temp\\TableScriptResults.log\"");
}

TEST(ToolLines, FoldersAreJoinedUntrimmed) {
    // A drive root keeps its backslash, so the script path holds a doubled one.
    EXPECT_EQ(ScriptPath(L"D:\\"), L"D:\\\\TableScripts.sql");
    // TEMP unset: the root of the current drive, which the script run resolves to a drive.
    EXPECT_EQ(ResultLogPath(L""), L"\\TableScriptResults.log");
    EXPECT_EQ(ViewerCommandLine(ResultLogPath(L"")),
              L"cmd.exe /c start notepad \"\\TableScriptResults.log\"");
}

TEST(ToolLines, HostileValuesEachReachTheToolAsOneArgument) {
    const ConnectionSettings hostile{L"srv & del /q *", L"-d db (1)", L"", L"p\"w%PATH%!x!^"};
    const std::wstring line =
        ToolCommandFor(ScriptTool::Primary, hostile, L"C:\\50% off", ResultLogPath(L"C:\\Tmp!"))
            .commandLine;
    ASSERT_EQ(line.rfind(L"cmd.exe /V:OFF /c sqlcmd ", 0), 0u) << "a '!' needs /V:OFF";
    const auto afterCmd = testing::CmdModel(line.substr(18), {{L"PATH", L"X"}});
    ASSERT_TRUE(afterCmd.has_value());
    EXPECT_EQ(
        testing::CrtArguments(*afterCmd),
        (std::vector<std::wstring>{L"sqlcmd", L"-S", hostile.server, L"-U", hostile.login, L"-d",
                                   hostile.database, L"-i", L"C:\\50% off\\TableScripts.sql", L"-o",
                                   L"C:\\Tmp!\\TableScriptResults.log"}));
}

TEST(ToolLines, LineBreaksOrLengthOnTheLineAndNulInThePasswordRefuseTheTool) {
    ConnectionSettings broken = kPlain;
    broken.server = L"srv\r\nsqlcmd -Q \"drop table x\"";
    EXPECT_THROW(ToolCommandFor(ScriptTool::Primary, broken, L"C:\\V", ResultLogPath(L"C:\\T")),
                 Error);
    broken = kPlain;
    broken.password = std::wstring(L"pw\0x", 4);
    EXPECT_THROW(ToolCommandFor(ScriptTool::Primary, broken, L"C:\\V", ResultLogPath(L"C:\\T")),
                 Error);
    EXPECT_THROW(ToolCommandFor(ScriptTool::Primary, kPlain, L"C:\\V\n", ResultLogPath(L"C:\\T")),
                 Error);
    EXPECT_THROW(ViewerCommandLine(ResultLogPath(std::wstring(L"C:\\T\0x", 6))), Error);

    // Longer than cmd.exe takes: refused, naming the value to shorten and the limit.
    broken = kPlain;
    const size_t others =
        ToolCommandFor(ScriptTool::Primary, kPlain, L"C:\\V", ResultLogPath(L"C:\\T"))
            .commandLine.size() -
        kPlain.database.size();
    broken.database.assign(8191 - others, L'd');  // the line is exactly as long as cmd.exe takes
    EXPECT_NO_THROW(ToolCommandFor(ScriptTool::Primary, broken, L"C:\\V", ResultLogPath(L"C:\\T")));
    broken.database += L'd';
    try {
        ToolCommandFor(ScriptTool::Primary, broken, L"C:\\V", ResultLogPath(L"C:\\T"));
        ADD_FAILURE() << "a line of 8192 characters was accepted";
    } catch (const Error& error) {
        EXPECT_EQ(error.Description().rfind(L"The database is too long", 0), 0u);
        EXPECT_NE(error.Description().find(L"at most 8191"), std::wstring::npos);
    }
    EXPECT_THROW(ViewerCommandLine(ResultLogPath(std::wstring(9000, L't'))), Error);
}

}  // namespace
}  // namespace vantle
