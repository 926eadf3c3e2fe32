#include "install/install_reports.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <tuple>

#include "install/install_run.h"
#include "install/script_commands.h"
#include "support/text.h"

namespace vantle {
namespace {

const ConnectionSettings kSettings{L"SQLHOST\\Q1", L"QuillDB", L"quillmar", L"secret"};

// Where `part` starts in `text`; fails the test when it is missing.
size_t Find(const std::wstring& text, const std::wstring& part) {
    const size_t at = text.find(part);
    EXPECT_NE(at, std::wstring::npos) << testing::Narrow(part) << "\nin\n" << testing::Narrow(text);
    return at;
}

TEST(Reports, ConnectionFailureSaysWhatFailedWhyTheNumberAndWhatToCheckInThatOrder) {
    const Error error(ErrorNumber(0x80040E4Du), L"Microsoft OLE DB Provider for SQL Server",
                      L"Login failed for user 'quillmar'.");
    const std::wstring text = ConnectionFailureReport(kSettings, error, ProbeStep::Connecting);
    EXPECT_EQ(text.rfind(L"Could not connect to database QuillDB on server SQLHOST\\Q1 as "
                         L"quillmar.",
                         0),
              0u);
    const size_t why = Find(text, L"Login failed for user 'quillmar'.");
    const size_t number = Find(text, L"0x80040E4D (Microsoft OLE DB Provider for SQL Server)");
    const size_t check = Find(text, L"server name");
    EXPECT_LT(why, number);
    EXPECT_LT(number, check);
    for (const wchar_t* subject : {L"database", L"login", L"password", L"network"})
        Find(text.substr(check), subject);
    EXPECT_EQ(text.find(L"-2147217843"), std::wstring::npos) << "the decimal number confuses";
    EXPECT_EQ(text.find(L"secret"), std::wstring::npos) << "the password is never shown";
}

TEST(Reports, AComputerWithoutTheProviderIsToldSoAndNotToCheckTheFields) {
    // Wine's ADO leaves no description; Windows' gives its own for 3706.
    for (const auto& [number, words] : {std::pair{0x800401F3u, L"Invalid class string"},
                                        {0x80040154u, L"Class not registered."},
                                        {0x800A0E7Au, L"Provider cannot be found."}}) {
        const std::wstring text = ConnectionFailureReport(
            kSettings, Error(ErrorNumber(number), L"ADODB.Connection", L""), ProbeStep::Connecting);
        EXPECT_LT(Find(text, L"lacks ADO or the SQLOLEDB provider"), Find(text, words));
        for (const wchar_t* what : {L"(ADODB.Connection)", L"Windows DAC", L"register it"})
            Find(text, what);
        EXPECT_EQ(text.find(L"Check the server name"), std::wstring::npos);
    }
    // Any other number that came without words: said plainly, beside the number.
    const std::wstring text = ConnectionFailureReport(
        kSettings, Error(ErrorNumber(0x80004005u), L"ADODB.Connection", L""),
        ProbeStep::Connecting);
    Find(text, L"\n\nNo description was given.\n\nError 0x80004005 (ADODB.Connection)");
    Find(text, L"Check the server name");

    // ADO's own objects could not be made, before connecting or once logged in (its Recordset):
    // whatever the number, ADO is what to mend, in folders as an administrator types them.
    for (const ProbeStep step : {ProbeStep::CreatingAdo, ProbeStep::CreatingRecordset}) {
        for (const std::uint32_t number : {0x80070005u, 0x8007007Eu, 0x800700C1u, 0x80040154u}) {
            const Error error(ErrorNumber(number), L"ADODB.Connection", L"The system's words.");
            const std::wstring unusable = ConnectionFailureReport(kSettings, error, step);
            EXPECT_LT(Find(unusable, L"ADO (Microsoft ActiveX Data Objects)"),
                      Find(unusable,
                           L"\n\nThe system's words.\n\nError " + HexErrorNumber(error.Number())));
            for (const wchar_t* what :
                 {L"cannot be used on this computer", L"Windows DAC",
                  L"regsvr32 \"%CommonProgramFiles%\\System\\ado\\msado15.dll\"",
                  L"%windir%\\SysWOW64\\regsvr32 \"%CommonProgramFiles(x86)%\\System\\ado\\"})
                Find(unusable, what);
            Find(unusable, step == ProbeStep::CreatingAdo ? L"the server was not contacted"
                                                          : L"the login accepted");
            for (const wchar_t* never :
                 {L"Check the server name", L"sqloledb.dll", L"Common Files (x86)"})
                EXPECT_EQ(unusable.find(never), std::wstring::npos) << testing::Narrow(never);
        }
    }

    // Opened without an error, then not open: what lies beneath is to check, not the fields.
    const std::wstring notOpen = NotOpenReport(kSettings);
    EXPECT_LT(Find(notOpen, L"ADO reports it as not open"), Find(notOpen, L"nothing was changed"));
    for (const wchar_t* what :
         {L"registered on this computer is Microsoft's own",
          L"regsvr32 \"%CommonProgramFiles%\\System\\Ole DB\\sqloledb.dll\"",
          L"the 32-bit one for the 32-bit program", L"sfc /scannow", L"press OK again"})
        Find(notOpen, what);
    EXPECT_EQ(notOpen.find(L"Check the server name"), std::wstring::npos);
}

TEST(Reports, NumbersAreEightUpperCaseHexDigits) {
    EXPECT_EQ(HexErrorNumber(ErrorNumber(0x80040E4Du)), L"0x80040E4D");
    EXPECT_EQ(HexErrorNumber(5), L"0x00000005");
    EXPECT_EQ(HexErrorNumber(-1), L"0xFFFFFFFF");
}

TEST(Reports, AnOldLogNamesItsPathAndTheSystemsReason) {
    ScriptOutcome outcome;
    outcome.result = ScriptOutcome::Result::OldLogKept;
    outcome.logPath = L"C:\\Temp\\TableScriptResults.log";
    outcome.error = Error(ErrorNumber(0x80070005u), L"FileSystem", L"Access is denied.");
    const std::wstring text = OldLogReport(outcome);
    Find(text, L"C:\\Temp\\TableScriptResults.log");
    Find(text, L"Access is denied.");
    Find(text, L"OK again");
}

TEST(Reports, NoLogSaysWhatBecameOfEachToolInWords) {
    ScriptOutcome outcome;
    outcome.result = ScriptOutcome::Result::NoLog;
    outcome.logPath = L"C:\\Temp\\TableScriptResults.log";
    outcome.primary.result = ToolRun::Result::Exited;
    outcome.primary.exitCode = 9009;
    outcome.fallback.result = ToolRun::Result::Exited;
    outcome.fallback.exitCode = 1;
    std::wstring text = NoLogReport(outcome);
    Find(text, L"C:\\Temp\\TableScriptResults.log");
    const size_t sqlcmd = Find(text, L"sqlcmd: not found (cmd.exe exit code 9009)");
    const size_t osql = Find(text, L"osql: ran and ended with exit code 1, but wrote no log");
    EXPECT_LT(sqlcmd, osql);
    // osql is installed and ran: it is the log's folder to check, not the installation.
    Find(text, L"Check that the temporary folder (TEMP)\nC:\\Temp\nexists, can be written to");
    EXPECT_EQ(text.find(L"must be installed"), std::wstring::npos);

    outcome.primary.result = ToolRun::Result::Failed;
    outcome.primary.error = Error(1359, L"SyncShell", L"An internal error occurred.");
    outcome.fallback = ToolRun{};
    text = NoLogReport(outcome);
    Find(text, L"sqlcmd: could not be started: An internal error occurred. (Error 0x0000054F");
    Find(text, L"osql: not run.");
    // cmd.exe itself could not be started: no tool was looked for, installing them mends nothing.
    Find(text, L"Windows could not start cmd.exe, the command interpreter the tools are run");
    Find(text, L"%windir%\\System32\\cmd.exe");
    EXPECT_EQ(text.find(L"must be installed"), std::wstring::npos);
    EXPECT_EQ(text.find(L"temporary folder"), std::wstring::npos);
    // With neither tool found, it is the installation.
    outcome.primary = ToolRun{ToolRun::Result::Exited, 9009, {}, {}};
    outcome.fallback = outcome.primary;
    Find(NoLogReport(outcome),
         L"SQL Server command-line tools (sqlcmd, or the older osql) must be installed "
         L"and on PATH");
}

}  // namespace
}  // namespace vantle

namespace vantle {
namespace {

TEST(Reports, AStopNamesTheToolThatWasEndedAndTheLogItLeft) {
    ScriptOutcome outcome;
    outcome.result = ScriptOutcome::Result::Stopped;
    outcome.logPath = L"C:\\Temp\\TableScriptResults.log";
    outcome.primary.result = ToolRun::Result::Stopped;
    outcome.logLeft = true;
    std::wstring text = StoppedReport(outcome);
    EXPECT_EQ(text.rfind(L"The table script was stopped: sqlcmd was ended before it had finished "
                         L"and everything it had started, and osql was not run.",
                         0),
              0u)
        << testing::Narrow(text);
    Find(text, L"kept in the result log\nC:\\Temp\\TableScriptResults.log\n");
    Find(text, L"Notepad was not opened");

    // Outside a job, or with a job that could not be ended, only what was done is said.
    outcome.primary.result = ToolRun::Result::Exited;
    outcome.fallback.result = ToolRun::Result::Stopped;
    for (const auto& [how, why] :
         {std::pair{EndedBy::ParentLinksNoJob, L"it could not be put in a job"},
          {EndedBy::ParentLinksJobNotEnded, L"its job could not be ended"}}) {
        outcome.fallback.endedBy = how;
        text = StoppedReport(outcome);
        EXPECT_EQ(text.rfind(L"The table script was stopped: osql was ended", 0), 0u)
            << testing::Narrow(text);
        Find(text, std::wstring(L"the programs found started from it (") + why);
        EXPECT_EQ(text.find(L"everything"), std::wstring::npos);
    }

    // The tool had ended by itself when the stop was asked: so said, with what it left.
    outcome.fallback = ToolRun{};
    outcome.primary.exitCode = 1;
    for (const bool logLeft : {true, false}) {
        outcome.logLeft = logLeft;
        text = StoppedReport(outcome);
        EXPECT_EQ(text.rfind(L"The table script was stopped: sqlcmd had already ended by itself "
                             L"(exit code 1) ",
                             0),
                  0u)
            << testing::Narrow(text);
        Find(text, std::wstring(logLeft ? L"and left" : L"without writing") +
                       L" the result log\nC:\\Temp\\TableScriptResults.log\n");
        Find(text, L"Nothing else was run: osql was not started and Notepad was not opened.");
        EXPECT_EQ(text.find(L"was ended"), std::wstring::npos);
    }
    // A tool that never started has not ended by itself either.
    outcome.logLeft = false;
    for (const auto& [run, what] :
         {std::pair{ToolRun{ToolRun::Result::Exited, 9009, {}, {}},
                    L"was not found (cmd.exe exit code 9009)"},
          {ToolRun{ToolRun::Result::Failed, 0, Error(1260, L"SyncShell", L"Blocked."), {}},
           L"could not be started (Blocked. (Error 0x000004EC (SyncShell)))"}}) {
        outcome.primary = run;
        text = StoppedReport(outcome);
        EXPECT_EQ(text.rfind(L"The table script was stopped: sqlcmd " + std::wstring(what) +
                                 L", so there is no result log\n",
                             0),
                  0u)
            << testing::Narrow(text);
        EXPECT_EQ(text.find(L"by itself"), std::wstring::npos);
    }

    // A tool that could no longer be waited for: which, the system's reason, the log.
    outcome.result = ScriptOutcome::Result::WaitFailed;
    outcome.fallback = ToolRun{};
    outcome.primary.result = ToolRun::Result::WaitFailed;
    outcome.primary.error =
        Error(ErrorNumber(0x8004AA03u), L"SyncShell",
              L"Failed to wait for child process, error 6: The handle is invalid.");
    text = WaitFailedReport(outcome);
    EXPECT_LT(Find(text, L"could no longer wait for sqlcmd"), Find(text, L"osql was not run"));
    Find(text, L"error 6: The handle is invalid. (Error 0x8004AA03 (SyncShell))");
    Find(text, L"\nC:\\Temp\\TableScriptResults.log\n");
    Find(text, L"Notepad was not opened");

    // osql's wait failed, sqlcmd having left no log: osql is the one named.
    outcome.fallback = outcome.primary;
    outcome.primary = ToolRun{};
    outcome.primary.result = ToolRun::Result::Exited;
    text = WaitFailedReport(outcome);
    Find(text, L"could no longer wait for osql to end, so it ended osql and everything");
    EXPECT_EQ(text.find(L"sqlcmd"), std::wstring::npos) << testing::Narrow(text);
}

// Notepad could not be started on the log: the script ran, where its log is, and why.
TEST(Reports, AViewerThatCouldNotStartNamesTheLogAndWhy) {
    ScriptOutcome outcome;
    outcome.result = ScriptOutcome::Result::ViewerFailed;
    outcome.logPath = L"C:\\Temp\\TableScriptResults.log";
    outcome.viewer = ToolRun{ToolRun::Result::Exited, 1, {}, {}};
    std::wstring text = ViewerFailedReport(outcome);
    EXPECT_LT(Find(text, L"The table script has run, but Notepad could not be opened"),
              Find(text, L"start command ended with exit code 1 instead of 0"));
    Find(text, L"\nC:\\Temp\\TableScriptResults.log\n");
    Find(text, L"program ends");
    outcome.viewer = ToolRun{ToolRun::Result::Failed,
                             0,
                             Error(1260, L"SyncShell", L"This program is blocked by group policy."),
                             {}};
    text = ViewerFailedReport(outcome);
    Find(text,
         L"cmd.exe, which starts it, could not be started: This program is blocked by group "
         L"policy. (Error 0x000004EC (SyncShell))");
}

TEST(Reports, TheStopQuestionNamesTheToolAndWhatStoppingLeaves) {
    EXPECT_EQ(StopQuestion(ScriptTool::Primary)
                  .rfind(L"sqlcmd is still running the table "
                         L"script. Stop it?",
                         0),
              0u);
    EXPECT_EQ(StopQuestion(ScriptTool::Fallback).rfind(L"osql is still running", 0), 0u);
    Find(StopQuestion(ScriptTool::Primary), L"rolled back");
}

}  // namespace
}  // namespace vantle

#ifdef VANTLE_OPERATOR_README
namespace vantle {
namespace {

// Runs of blanks and line ends as one blank: the manual wraps its lines where it likes.
std::string Squeezed(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\r' || c == '\n';
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    return out;
}

// README.txt is the one text that travels with the program: every box it can show is there by
// the words the program opens it (or its telling paragraph) with, as composed here.
TEST(Reports, EveryBoxIsInTheOperatorsManualByTheWordsItOpensWith) {
    std::ifstream file(VANTLE_OPERATOR_README, std::ios::binary);
    const std::string manual = Squeezed({std::istreambuf_iterator<char>(file), {}});
    ASSERT_FALSE(manual.empty());
    const auto refusal = [](ConnectionSettings settings) {
        try {
            ToolCommandFor(ScriptTool::Primary, settings, L"C:\\Vantle", L"C:\\Temp\\log");
        } catch (const Error& error) {
            return RefusedReport(error);
        }
        return std::wstring();
    };
    const Error error(ErrorNumber(0x80040E4Du), L"Provider", L"The provider's words.");
    ScriptOutcome ran;
    ran.logPath = L"C:\\Temp\\TableScriptResults.log";
    ran.error = error;  // why an old log stayed
    ran.primary.result = ran.fallback.result = ToolRun::Result::Exited;
    ScriptOutcome missing = ran;
    missing.primary.exitCode = missing.fallback.exitCode = 9009;
    ScriptOutcome stopped = ran;
    stopped.primary.result = ToolRun::Result::Stopped;
    stopped.fallback = ToolRun{};
    ScriptOutcome waitFailed = stopped;
    waitFailed.primary.result = ToolRun::Result::WaitFailed;
    waitFailed.primary.error = error;
    ScriptOutcome endedFirst = stopped;
    endedFirst.primary.result = ToolRun::Result::Exited;
    ScriptOutcome notStarted = endedFirst;
    notStarted.primary = ToolRun{ToolRun::Result::Failed, 0, error, {}};
    ScriptOutcome noViewer = ran;
    noViewer.viewer = notStarted.primary;
    // The text, and where in it the words to find start and end (npos: its end).
    const std::tuple<std::wstring, std::wstring, std::wstring> boxes[] = {
        {ConnectionFailureReport(kSettings, error, ProbeStep::Connecting), L"", L"QuillDB"},
        {ConnectionFailureReport(kSettings, Error(ErrorNumber(0x800401F3u), L"ADODB", L""),
                                 ProbeStep::Connecting),
         L"This", L" (Microsoft"},
        {ConnectionFailureReport(kSettings, error, ProbeStep::CreatingAdo), L"ADO", L" cannot"},
        {ConnectionFailureReport(kSettings, error, ProbeStep::CreatingRecordset), L"", L"QuillDB"},
        {ConnectionFailureReport(kSettings, error, ProbeStep::CreatingRecordset), L"ADO",
         L", which"},
        {NotOpenReport(kSettings), L"The connection", L","},
        {kRerunQuestion, L"", L""},
        {refusal({std::wstring(9000, L's'), L"D", L"U", L"P"}), L"", L" The"},
        {refusal({std::wstring(9000, L's'), L"D", L"U", L"P"}), L" is", L":"},
        {refusal({L"a\nb", L"D", L"U", L"P"}), L" holds", L","},
        {refusal({L"S", L"D", L"U", std::wstring(1, L'\0')}), L"The password", L","},
        {OldLogReport(ran), L"", L"\n"},
        {NoLogReport(missing), L"", L"\n"},
        {NoLogReport(missing), L"The SQL", L" must"},
        {NoLogReport(ran), L"A tool", L","},
        {NoLogReport(notStarted), L"Windows could", L" (the"},
        {StopQuestion(ScriptTool::Primary), L" is", L"\n"},
        {StoppedReport(stopped), L"", L" sqlcmd"},
        {StoppedReport(stopped), L" was ended", L" and"},
        {StoppedReport(endedFirst), L" had already", L" ("},
        {StoppedReport(notStarted), L" could not", L" ("},
        {ViewerFailedReport(noViewer), L"", L":"},
        {WaitFailedReport(waitFailed), L"", L" sqlcmd"},
        {kShutdownBlockReason, L"", L""},
        {FormatErrorReport(error), L"", L"-"}};
    for (const auto& [text, from, to] : boxes) {
        const size_t start = text.find(from);
        const size_t end = to.empty() ? std::wstring::npos : text.find(to, start + from.size());
        ASSERT_NE(start, std::wstring::npos) << testing::Narrow(text);
        const std::string words = testing::Narrow(text.substr(start, end - start));
        EXPECT_NE(manual.find(Squeezed(words)), std::string::npos)
            << "not in README.txt: \"" << words << "\"";
    }
}

}  // namespace
}  // namespace vantle
#endif
