#include "install/script_commands.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "install/cmd_quoting.h"

namespace vantle {
namespace {

// Under delayed expansion (which the registry can switch on for every cmd.exe) '!' would
// expand variables; lines that carry one turn it off explicitly.
std::wstring Interpreter(std::initializer_list<const std::wstring*> values) {
    for (const std::wstring* value : values) {
        if (value->find(L'!') != std::wstring::npos) return L"cmd.exe /V:OFF /c ";
    }
    return L"cmd.exe /c ";
}

// The variable each tool reads its password from when -P is absent.
const wchar_t* PasswordVariable(ScriptTool tool) {
    return tool == ScriptTool::Primary ? L"SQLCMDPASSWORD" : L"OSQLPASSWORD";
}

// A value on the line as the operator knows it, and its length there.
using NamedPart = std::pair<const wchar_t*, std::size_t>;

// cmd.exe takes no command longer than kCmdLineLimit: Windows' refuses it ("The command line
// is too long.") and Wine's does nothing at all, and either way the tool never runs. The
// whole line is counted, "cmd.exe /c " too, a few characters more than cmd.exe counts, so no
// line it would refuse gets through. Only the operator's values and folders can make a line
// that long; the longest of them is the one to shorten.
void RequireWithinCmdLimit(const std::wstring& line, const wchar_t* program,
                           std::initializer_list<NamedPart> parts) {
    if (line.size() <= kCmdLineLimit) return;
    const NamedPart longest = *std::max_element(
        parts.begin(), parts.end(),
        [](const NamedPart& a, const NamedPart& b) { return a.second < b.second; });
    RefuseForCommandLine(
        std::wstring(longest.first) + L" is too long to be passed on a command line: the " +
        program + L" line would be " + std::to_wstring(line.size()) +
        L" characters, and cmd.exe takes at most " + std::to_wstring(kCmdLineLimit));
}

}  // namespace

const wchar_t* ToolName(ScriptTool tool) {
    return tool == ScriptTool::Primary ? L"sqlcmd" : L"osql";
}

std::wstring ScriptPath(const std::wstring& programFolder) {
    return programFolder + L"\\" + kScriptFileName;
}

std::wstring ResultLogPath(const std::wstring& tempFolder) {
    return tempFolder + L"\\" + kResultLogName;
}

ToolCommand ToolCommandFor(ScriptTool tool, const ConnectionSettings& s,
                           const std::wstring& programFolder, const std::wstring& log) {
    const std::wstring script = ScriptPath(programFolder);
    RequirePassable(s.server, L"The server");
    RequirePassable(s.login, L"The login");
    RequirePassable(s.database, L"The database");
    RequirePassable(script, L"The program folder");
    RequirePassable(log, L"The temporary folder");
    // An environment block ends each entry at NUL; every other character passes unchanged.
    if (s.password.find(L'\0') != std::wstring::npos) {
        RefuseForCommandLine(
            L"The password holds a NUL character, which cannot be passed to the tool");
    }

    ToolCommand command;
    std::wstring password;
    if (s.password.empty()) {
        password = L" -P \"\"";  // cmd.exe opens and closes a quote: nothing for it to act on
    } else {
        command.environment.emplace_back(PasswordVariable(tool), s.password);
    }
    const std::wstring server = CmdArgument(s.server), login = CmdArgument(s.login),
                       database = CmdArgument(s.database), scriptPath = CmdQuotedPath(script),
                       logPath = CmdQuotedPath(log);
    command.commandLine = Interpreter({&s.server, &s.login, &s.database, &script, &log}) +
                          ToolName(tool) + L" -S " + server + L" -U " + login + password + L" -d " +
                          database + L" -i " + scriptPath + L" -o " + logPath;
    RequireWithinCmdLimit(command.commandLine, ToolName(tool),
                          {{L"The server", server.size()},
                           {L"The login", login.size()},
                           {L"The database", database.size()},
                           {L"The program folder", scriptPath.size()},
                           {L"The temporary folder", logPath.size()}});
    return command;
}

std::wstring ViewerCommandLine(const std::wstring& log) {
    RequirePassable(log, L"The temporary folder");
    const std::wstring logPath = CmdQuotedPath(log);
    const std::wstring line = Interpreter({&log}) + L"start notepad " + logPath;
    RequireWithinCmdLimit(line, L"Notepad", {{L"The temporary folder", logPath.size()}});
    return line;
}

}  // namespace vantle
