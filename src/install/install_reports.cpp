#include "install/install_reports.h"

#include <cstdio>

namespace vantle {
namespace {

// cmd.exe's exit code when it finds no program of the name it was given.
constexpr std::int32_t kCommandNotFound = 9009;

// What ADO answers when opening a connection cannot find or load the SQLOLEDB provider: no
// server, login or field was tried then. Windows' ADO reports a provider it cannot find as its
// own error 3706; without its error object (Wine's ADO sets none), COM's numbers come through:
// no such ProgID, or a ProgID whose class is not registered.
constexpr std::uint32_t kClassStringInvalid = 0x800401F3;  // CO_E_CLASSSTRING
constexpr std::uint32_t kClassNotRegistered = 0x80040154;  // REGDB_E_CLASSNOTREG
constexpr std::uint32_t kProviderNotFound = 0x800A0E7A;    // ADO's adErrProviderNotFound

bool LacksProvider(const Error& error) {
    const auto number = static_cast<std::uint32_t>(error.Number());
    return number == kClassStringInvalid || number == kClassNotRegistered ||
           number == kProviderNotFound;
}

// The failure's own description; for a number without one, words of our own where we know
// the number, and otherwise a plain statement that none was given (the reports show the
// number beside it).
std::wstring Described(const Error& error) {
    if (!error.Description().empty()) return error.Description();
    switch (static_cast<std::uint32_t>(error.Number())) {
        case kClassStringInvalid:
            return L"Invalid class string: nothing is registered under the name asked for.";
        case kClassNotRegistered:
            return L"Class not registered.";
        case kProviderNotFound:
            return L"Provider cannot be found. It may not be properly installed.";
        default:
            return kNoDescription;
    }
}

std::wstring WithSource(const Error& error) {
    std::wstring text = L"Error " + HexErrorNumber(error.Number());
    if (!error.Source().empty()) text += L" (" + error.Source() + L")";
    return text;
}

// What a tool ended half-way left behind, and how to go on, whoever or whatever ended it.
std::wstring WhatTheEndedToolLeft(const ScriptOutcome& outcome) {
    return std::wstring(L"\n\nWhat it had already run stays in the database. ") +
           (outcome.logLeft ? L"What it wrote so far is kept in the result log\n"
                            : L"It wrote no result log; it would have been\n") +
           outcome.logPath +
           L"\n\nNotepad was not opened. Press OK to run the setup again; the log is then "
           L"replaced.";
}

// What ending a tool reached: its job holds everything it started; without one, or when the job
// could not be ended, only what the processes' parent links still showed.
std::wstring EndedWith(const ToolRun& run) {
    switch (run.endedBy) {
        case EndedBy::Job:
            break;
        case EndedBy::ParentLinksNoJob:
            return L" and the programs found started from it (it could not be put in a job of "
                   L"this program's, so anything those had started in turn may still run)";
        case EndedBy::ParentLinksJobNotEnded:
            return L" and the programs found started from it (its job could not be ended, so "
                   L"anything those had started in turn may still run)";
    }
    return L" and everything it had started";
}

// The tool ran and its end was seen: whatever it was, it is installed and could be started.
bool Ran(const ToolRun& run) {
    return (run.result == ToolRun::Result::Exited && run.exitCode != kCommandNotFound) ||
           (run.result == ToolRun::Result::Failed && run.error->Number() == kErrorExitCode);
}

// cmd.exe, which every tool is run through, could not be started (or not held once it was):
// no tool was ever looked for.
bool InterpreterNotStarted(const ToolRun& run) {
    return run.result == ToolRun::Result::Failed && run.error->Number() != kErrorExitCode;
}

// The opening line of every report of a connection that could not be used.
std::wstring CouldNotConnect(const ConnectionSettings& s) {
    return L"Could not connect to database " + s.database + L" on server " + s.server + L" as " +
           s.login + L".\n\n";
}

// How an administrator puts ADO back, for the program of either kind.
constexpr const wchar_t* kRepairAdo =
    L"ADO is part of Windows (Windows DAC). Have an administrator repair Windows (sfc /scannow) "
    L"or restore ADO's registration: regsvr32 \"%CommonProgramFiles%\\System\\ado\\msado15.dll\"; "
    L"on 64-bit Windows the 32-bit program needs %windir%\\SysWOW64\\regsvr32 \""
    L"%CommonProgramFiles(x86)%\\System\\ado\\msado15.dll\". Then press OK again.";

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
            return text + L"could not be started: " + Described(*run.error) + L" (" +
                   WithSource(*run.error) + L").";
        case ToolRun::Result::Stopped:
            return text + L"stopped by the operator.";
        case ToolRun::Result::WaitFailed:
            return text + L"ended when it could no longer be waited for.";
    }
    return text;
}

}  // namespace

std::wstring HexErrorNumber(std::int32_t number) {
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(number)));
    return hex;
}

std::wstring ConnectionFailureReport(const ConnectionSettings& s, const Error& error,
                                     ProbeStep failedAt) {
    const std::wstring what = CouldNotConnect(s);
    const std::wstring why = Described(error) + L"\n\n" + WithSource(error) + L"\n\n";
    if (failedAt == ProbeStep::CreatingRecordset) {
        // Logged in, and then ADO could not make the one object the probe needs: what is
        // broken is ADO, as below, not the fields, the network or the provider.
        return L"Connected to database " + s.database + L" on server " + s.server + L" as " +
               s.login + L", but could not look for the Vantle Tables.\n\n" +
               L"ADO (Microsoft ActiveX Data Objects) cannot be used on this computer: its "
               L"Recordset object, which the look goes through, could not be created. The server "
               L"was reached and the login accepted; nothing was changed.\n\n" +
               why + kRepairAdo;
    }
    if (failedAt == ProbeStep::CreatingAdo) {
        // Whatever the number (a DLL that cannot be loaded, a class not registered, access
        // denied), ADO itself is what is broken: the fields and the provider are not the cause.
        return what +
               L"ADO (Microsoft ActiveX Data Objects), which every connection of this program "
               L"goes through, cannot be used on this computer; the server was not "
               L"contacted.\n\n" +
               why + kRepairAdo;
    }
    if (LacksProvider(error)) {
        return what +
               L"This computer lacks ADO or the SQLOLEDB provider (Microsoft OLE DB Provider "
               L"for SQL Server) that the connection goes through, or it is not registered; "
               L"the server was not contacted.\n\n" +
               why +
               L"SQLOLEDB comes with Windows (Windows DAC). On a system where it was left out, "
               L"install it, or have an administrator register it: regsvr32 "
               L"\"%CommonProgramFiles%\\System\\Ole DB\\sqloledb.dll\"; on 64-bit Windows the "
               L"32-bit program needs %windir%\\SysWOW64\\regsvr32 \"%CommonProgramFiles(x86)%"
               L"\\System\\Ole DB\\sqloledb.dll\". Then press OK again.";
    }
    return what + why +
           L"Check the server name, the database, the login and the password, and that this "
           L"computer can reach the server over the network; then press OK again.";
}

std::wstring NotOpenReport(const ConnectionSettings& s) {
    return CouldNotConnect(s) +
           L"The connection was opened without an error, but ADO reports it as not open, "
           L"so the tables could not be looked for; nothing was changed.\n\nThat comes from "
           L"beneath the program, not from the fields: check that the SQLOLEDB provider "
           L"registered on this computer is Microsoft's own (regsvr32 "
           L"\"%CommonProgramFiles%\\System\\Ole DB\\sqloledb.dll\", the 32-bit one for the "
           L"32-bit program on 64-bit Windows), or have an administrator repair Windows (sfc "
           L"/scannow); then press OK again.";
}

std::wstring OldLogReport(const ScriptOutcome& outcome) {
    return L"The result log of an earlier run could not be deleted:\n" + outcome.logPath + L"\n\n" +
           Described(*outcome.error) + L" (" + WithSource(*outcome.error) +
           L")\n\nNo script was run. Close the program that has the log open, or delete the "
           L"file yourself; then press OK again.";
}

std::wstring NoLogReport(const ScriptOutcome& outcome) {
    std::wstring text =
        L"There is no result to show: neither sqlcmd nor osql wrote the result log\n" +
        outcome.logPath + L"\n\n" + DescribeTool(L"sqlcmd", outcome.primary) + L"\n" +
        DescribeTool(L"osql", outcome.fallback) + L"\n\n";
    if (!Ran(outcome.primary) && !Ran(outcome.fallback)) {
        if (InterpreterNotStarted(outcome.primary) || InterpreterNotStarted(outcome.fallback)) {
            return text +
                   L"Windows could not start cmd.exe, the command interpreter the tools are run "
                   L"through (the reason is above), so the tools were never looked for. Have an "
                   L"administrator check that %windir%\\System32\\cmd.exe is there and that no "
                   L"policy keeps this user from running it; then press OK again.";
        }
        return text +
               L"The SQL Server command-line tools (sqlcmd, or the older osql) must be installed "
               L"and on PATH. Install them; then press OK again.";
    }
    // A tool that ran is installed: what it lacked was the log's folder, or it gave up early.
    const std::wstring folder = outcome.logPath.substr(0, outcome.logPath.find_last_of(L'\\'));
    return text +
           L"A tool that ran but wrote no log could not write it, or stopped before it "
           L"wrote anything (its exit code above). Check that the temporary folder (TEMP)\n" +
           folder +
           L"\nexists, can be written to and has room, and that the tool can connect by itself "
           L"(run it from a command prompt to see what it says); then press OK again.";
}

std::wstring RefusedReport(const Error& refusal) {
    return L"The table script was not run: " + Described(refusal) +
           L".\n\nNo tool was started and no file was touched. Correct the value and press OK "
           L"again; a folder is changed by copying the program elsewhere, or by setting TEMP.";
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
    const bool fallback = outcome.fallback.result != ToolRun::Result::NotRun;
    const ToolRun& run = fallback ? outcome.fallback : outcome.primary;
    const std::wstring tool = ToolName(fallback ? ScriptTool::Fallback : ScriptTool::Primary);
    std::wstring text = L"The table script was stopped: ";
    if (run.result == ToolRun::Result::Stopped) {
        text += tool + L" was ended before it had finished" + EndedWith(run);
        text += fallback ? L" (sqlcmd had left no log)." : L", and osql was not run.";
        return text + WhatTheEndedToolLeft(outcome);
    }
    // The stop came as the tool ended by itself, or was confirmed once it had, or once it was
    // known not to have started at all: nothing was ended, and nothing more was started.
    if (run.result == ToolRun::Result::Failed) {
        text += tool + L" could not be started (" + Described(*run.error) + L" (" +
                WithSource(*run.error) + L")), so there is no result log\n";
    } else if (run.result == ToolRun::Result::Exited && run.exitCode == kCommandNotFound) {
        text += tool + L" was not found (cmd.exe exit code 9009), so there is no result log\n";
    } else {
        text += tool + L" had already ended by itself";
        if (run.result == ToolRun::Result::Exited)
            text += L" (exit code " + std::to_wstring(run.exitCode) + L")";
        text +=
            outcome.logLeft ? L" and left the result log\n" : L" without writing the result log\n";
    }
    return text + outcome.logPath + L"\n\nNothing else was run: " +
           (fallback ? L"" : L"osql was not started and ") +
           L"Notepad was not opened. Press OK to run the setup again" +
           (outcome.logLeft ? L"; the log is then replaced." : L".");
}

std::wstring WaitFailedReport(const ScriptOutcome& outcome) {
    const bool fallback = outcome.fallback.result == ToolRun::Result::WaitFailed;
    const ToolRun& run = fallback ? outcome.fallback : outcome.primary;
    const std::wstring tool = ToolName(fallback ? ScriptTool::Fallback : ScriptTool::Primary);
    return L"The table script was cut short: this program could no longer wait for " + tool +
           L" to end, so it ended " + tool + EndedWith(run) +
           (fallback ? L"." : L", and osql was not run.") + L"\n\n" + Described(*run.error) +
           L" (" + WithSource(*run.error) + L")" + WhatTheEndedToolLeft(outcome);
}

std::wstring ViewerFailedReport(const ScriptOutcome& outcome) {
    const ToolRun& viewer = outcome.viewer;
    const std::wstring why =
        viewer.result == ToolRun::Result::Failed
            ? L"cmd.exe, which starts it, could not be started: " + Described(*viewer.error) +
                  L" (" + WithSource(*viewer.error) + L")"
            : L"cmd.exe's start command ended with exit code " + std::to_wstring(viewer.exitCode) +
                  L" instead of 0 (Notepad missing, or barred by a policy)";
    return L"The table script has run, but Notepad could not be opened to show its result log: " +
           why + L".\n\nThe result log is\n" + outcome.logPath +
           L"\n\nOpen it in any text editor to see what the script did. The program ends when "
           L"this box is closed.";
}

}  // namespace vantle
