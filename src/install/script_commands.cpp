#include "install/script_commands.h"

#include <initializer_list>

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

}  // namespace

ToolSettings ReadToolSettings(const DialogFields& fields) {
    ToolSettings settings;
    settings.server = fields.Text(Field::Server);
    settings.login = fields.Text(Field::User);
    settings.password = fields.Text(Field::Password);
    settings.database = fields.Text(Field::Database);
    return settings;
}

std::wstring ScriptPath(const std::wstring& programFolder) {
    return programFolder + L"\\" + kScriptFileName;
}

std::wstring ResultLogPath(const std::wstring& tempFolder) {
    return tempFolder + L"\\" + kResultLogName;
}

std::wstring ToolCommandLine(ScriptTool tool, const ToolSettings& s,
                             const std::wstring& programFolder, const std::wstring& tempFolder) {
    const std::wstring script = ScriptPath(programFolder);
    const std::wstring log = ResultLogPath(tempFolder);
    RequirePassable(s.server, L"The server");
    RequirePassable(s.login, L"The login");
    RequirePassable(s.password, L"The password");
    RequirePassable(s.database, L"The database");
    RequirePassable(script, L"The program folder");
    RequirePassable(log, L"The temporary folder");

    const wchar_t* program = tool == ScriptTool::Primary ? L"sqlcmd" : L"osql";
    return Interpreter({&s.server, &s.login, &s.password, &s.database, &script, &log}) + program +
           L" -S " + CmdArgument(s.server) + L" -U " + CmdArgument(s.login) + L" -P " +
           CmdArgument(s.password) + L" -d " + CmdArgument(s.database) + L" -i " +
           CmdQuotedPath(script) + L" -o " + CmdQuotedPath(log);
}

std::wstring ViewerCommandLine(const std::wstring& tempFolder) {
    const std::wstring log = ResultLogPath(tempFolder);
    RequirePassable(log, L"The temporary folder");
    return Interpreter({&log}) + L"start notepad " + CmdQuotedPath(log);
}

}  // namespace vantle
