#include "install/install_reports.h"

#include <cstdio>

namespace vantle {
namespace {

// cmd.exe's exit code when it finds no program of the name it was given.
constexpr std::int32_t kCommandNotFound = 9009;

std::wstring WithSource(const Error& error) {
    std::wstring text = L"Error " + HexErrorNumber(error.Number());
    if (!error.Source().empty()) text += L" (" + error.Source() + L")";
    return text;
}

std::wstring DescribeTool(const wchar_t* name, const ToolRun& run) {
    std::wstring text = std::wstring(L"- ") + name + L": ";
    switch (run.result) {
        case ToolRun::Result::NotRun:
            return text + L"not run.";
        case ToolRun::Result::Exited:
            if (run.exitCode == kCommandNotFound)
                return text + L"not found (cmd.exe exit code 9009).";
            return text + L"ran and ended with exit code " + std::to_wstring(run.exitCode) +
                   L", but wrote no log.";
        case ToolRun::Result::Failed:
            return text + L"could not be started: " + run.error->Description() + L" (" +
                   WithSource(*run.error) + L").";
        case ToolRun::Result::Stopped:
            return text + L"stopped by the operator.";
    }
    return text;
}

}  // namespace

std::wstring HexErrorNumber(std::int32_t number) {
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(number)));
    return hex;
}

std::wstring ConnectionFailureReport(const ConnectionSettings& s, const Error& error) {
    return L"Could not connect to database " + s.database + L" on server " + s.server + L" as " +
           s.login + L".\n\n" + error.Description() + L"\n\n" + WithSource(error) +
           L"\n\nCheck the server name, the database, the login and the password, and that this "
           L"computer can reach the server over the network; then press OK again.";
}

std::wstring OldLogReport(const ScriptOutcome& outcome) {
    return L"The result log of an earlier run could not be deleted:\n" + outcome.logPath + L"\n\n" +
           outcome.error->Description() + L" (" + WithSource(*outcome.error) +
           L")\n\nNo script was run. Close the program that has the log open, or delete the "
           L"file yourself; then press OK again.";
}

std::wstring NoLogReport(const ScriptOutcome& outcome) {
    return L"There is no result to show: neither sqlcmd nor osql wrote the result log\n" +
           outcome.logPath + L"\n\n" + DescribeTool(L"sqlcmd", outcome.primary) + L"\n" +
           DescribeTool(L"osql", outcome.fallback) +
           L"\n\nThe SQL Server command-line tools (sqlcmd, or the older osql) must be installed "
           L"and on PATH. Install them; then press OK again.";
}

}  // namespace vantle

namespace vantle {

std::wstring StopQuestion(ScriptTool tool) {
    return std::wstring(ToolName(tool)) +
           L" is still running the table script. Stop it?\n\nWhat it has already run stays in "
           L"the database; the statement it is running is rolled back when the server sees the "
           L"connection close.";
}

std::wstring StoppedReport(const ScriptOutcome& outcome) {
    const bool fallback = outcome.fallback.result == ToolRun::Result::Stopped;
    const std::wstring tool = ToolName(fallback ? ScriptTool::Fallback : ScriptTool::Primary);
    std::wstring text =
        L"The table script was stopped: " + tool + L" was ended before it had finished";
    text += fallback ? L" (sqlcmd had left no log)." : L", and osql was not run.";
    return text +
           L"\n\nWhat it had already run stays in the database. What it wrote so far "
           L"is kept in the result log\n" +
           outcome.logPath +
           L"\n\nNotepad was not opened. Press OK to run the setup again; the log is then "
           L"replaced.";
}

}  // namespace vantle
