#pragma once

#include <cstddef>
#include <string>

#include "common/environment_block.h"
#include "install/connection_settings.h"

namespace vantle {

inline constexpr const wchar_t* kScriptFileName = L"TableScripts.sql";
inline constexpr const wchar_t* kResultLogName = L"TableScriptResults.log";

// The longest command cmd.exe takes, as Windows documents it.
inline constexpr std::size_t kCmdLineLimit = 8191;

enum class ScriptTool { Primary, Fallback };  // sqlcmd, and the older osql

// "sqlcmd" or "osql", as the operator knows them.
const wchar_t* ToolName(ScriptTool tool);

std::wstring ScriptPath(const std::wstring& programFolder);
std::wstring ResultLogPath(const std::wstring& tempFolder);

// A tool's command line and what its environment gets on top of the program's.
struct ToolCommand {
    std::wstring commandLine;
    EnvironmentOverrides environment;
};

// "cmd.exe /c sqlcmd -S <server> -U <login> -d <database> -i "<script>" -o "<log>"" (osql for
// the fallback), <log> being `resultLog` as it stands. A password never stands on the line, where
// process listers and audit logs would record it: it goes to the tool through SQLCMDPASSWORD (osql:
// OSQLPASSWORD), which the tools read when -P is absent. Only an empty password is given as -P "",
// since without it the tool would prompt on a console nobody sees. Plain values stand as they are;
// others are escaped so that each reaches the tool as one argument holding exactly its text. Raises
// when a value on the line holds CR, LF or NUL, when the password holds NUL, or when the line
// would be longer than kCmdLineLimit, naming the value to shorten.
ToolCommand ToolCommandFor(ScriptTool tool, const ConnectionSettings& settings,
                           const std::wstring& programFolder, const std::wstring& resultLog);

// "cmd.exe /c start notepad "<log>"": start makes the interpreter return at once, so the
// program does not wait for Notepad, which stays open after the program has ended. Raises as
// ToolCommandFor does.
std::wstring ViewerCommandLine(const std::wstring& resultLog);

}  // namespace vantle
