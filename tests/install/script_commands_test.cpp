#include "install/script_commands.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "install/cmd_quoting.h"
#include "support/command_line_models.h"
#include "support/fakes.h"

namespace vantle {
namespace {

const ToolSettings kPlain{L"SQLHOST\\Q1", L"quillmar", L"8vek3", L"QuillDB"};

TEST(ToolLines, PlainValuesGiveTheExactLines) {
    EXPECT_EQ(ToolCommandLine(ScriptTool::Primary, kPlain, L"C:\\Vantle", L"C:\\Temp"),
              L"cmd.exe /c sqlcmd -S SQLHOST\\Q1 -U quillmar -P 8vek3 -d QuillDB "
              L"-i \"C:\\Vantle\\TableScripts.sql\" -o \"C:\\Temp\\TableScriptResults.log\"");
    EXPECT_EQ(ToolCommandLine(ScriptTool::Fallback, kPlain, L"C:\\Vantle", L"C:\\Temp"),
              L"cmd.exe /c osql -S SQLHOST\\Q1 -U quillmar -P 8vek3 -d QuillDB "
              L"-i \"C:\\Vantle\\TableScripts.sql\" -o \"C:\\Temp\\TableScriptResults.log\"");
    EXPECT_EQ(ViewerCommandLine(L"C:\\Temp"),
              L"cmd.exe /c start notepad \"C:\\Temp\\TableScriptResults.log\"");
}

TEST(ToolLines, FoldersWithSpacesStandInsideTheirQuotes) {
    EXPECT_EQ(ToolCommandLine(ScriptTool::Primary, kPlain, L"C:\\Program Files (x86)\\Vantle",
                              L"C:\\Users\\Jo Smith\\AppData\\Local\\Temp"),
              L"cmd.exe /c sqlcmd -S SQLHOST\\Q1 -U quillmar -P 8vek3 -d QuillDB "
              L"-i \"C:\\Program Files (x86)\\Vantle\\TableScripts.sql\" "
              L"-o \"C:\\Users\\Jo Smith\\AppData\\Local\\Temp\\TableScriptResults.log\"");
}

TEST(ToolLines, FoldersAreJoinedUntrimmed) {
    // A drive root keeps its backslash, so the script path holds a doubled one.
    EXPECT_EQ(ScriptPath(L"D:\\"), L"D:\\\\TableScripts.sql");
    // TEMP unset: the log is looked for in the root of the current drive.
    EXPECT_EQ(ResultLogPath(L""), L"\\TableScriptResults.log");
    EXPECT_EQ(ViewerCommandLine(L""), L"cmd.exe /c start notepad \"\\TableScriptResults.log\"");
}

TEST(ToolLines, SettingsAreReadInLineOrderAndAfresh) {
    testing::FakeFields fields;
    fields.texts = {{Field::Server, L"s"},
                    {Field::Database, L"d"},
                    {Field::User, L"u"},
                    {Field::Password, L"p"}};
    const ToolSettings first = ReadToolSettings(fields);
    fields.texts[Field::Password] = L"changed";
    const ToolSettings second = ReadToolSettings(fields);
    EXPECT_EQ(first.password, L"p");
    EXPECT_EQ(second.password, L"changed");
    EXPECT_EQ(fields.reads,
              (std::vector<Field>{Field::Server, Field::User, Field::Password, Field::Database,
                                  Field::Server, Field::User, Field::Password, Field::Database}));
}

TEST(ToolLines, HostileValuesEachReachTheToolAsOneArgument) {
    const ToolSettings hostile{L"srv & del /q *", L"", L"p\"w%PATH%!x!^", L"-d db (1)"};
    const std::wstring line =
        ToolCommandLine(ScriptTool::Primary, hostile, L"C:\\50% off", L"C:\\Tmp!");
    ASSERT_EQ(line.rfind(L"cmd.exe /V:OFF /c sqlcmd ", 0), 0u) << "a '!' needs /V:OFF";
    const auto afterCmd = testing::CmdModel(line.substr(18), {{L"PATH", L"X"}});
    ASSERT_TRUE(afterCmd.has_value());
    EXPECT_EQ(testing::CrtArguments(*afterCmd),
              (std::vector<std::wstring>{L"sqlcmd", L"-S", hostile.server, L"-U", hostile.login,
                                         L"-P", hostile.password, L"-d", hostile.database, L"-i",
                                         L"C:\\50% off\\TableScripts.sql", L"-o",
                                         L"C:\\Tmp!\\TableScriptResults.log"}));
}

TEST(ToolLines, LineBreaksAnywhereRefuseTheLine) {
    ToolSettings broken = kPlain;
    broken.password = L"pw\r\nsqlcmd -Q \"drop table x\"";
    EXPECT_THROW(ToolCommandLine(ScriptTool::Primary, broken, L"C:\\V", L"C:\\T"), Error);
    EXPECT_THROW(ToolCommandLine(ScriptTool::Primary, kPlain, L"C:\\V\n", L"C:\\T"), Error);
    EXPECT_THROW(ViewerCommandLine(std::wstring(L"C:\\T\0x", 6)), Error);
}

}  // namespace
}  // namespace vantle
