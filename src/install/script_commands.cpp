#include "install/script_commands.h"

#include <initializer_list>

#include "common/error.h"
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
        throw Error(ErrorNumber(0x80070057u), L"ScriptTools",
                    L"The password holds a NUL character, which cannot be passed to the tool");
    }

    ToolCommand command;
    std::wstring password;
    if (s.password.empty()) {
        password = L" -P \"\"";  // cmd.exe opens and closes a quote: nothing for it to act on
    } else {
        command.environment.emplace_back(PasswordVariable(tool), s.password);
    }
    command.commandLine = Interpreter({&s.server, &s.login, &s.database, &script, &log}) +
                          ToolName(tool) + L" -S " + CmdArgument(s.server) + L" -U " +
                          CmdArgument(s.login) + password + L" -d " + CmdArgument(s.database) +
                          L" -i " + CmdQuotedPath(script) + L" -o " + CmdQuotedPath(log);
    return command;
}

std::wstring ViewerCommandLine(const std::wstring& log) {
    RequirePassable(log, L"The temporary folder");
    return Interpreter({&log}) + L"start notepad " + CmdQuotedPath(log);
}

}  // namespace vantle
