#pragma once

#include <string>
#include <string_view>

namespace vantle {

// Putting operator text into a line that cmd.exe parses and that then reaches a program's
// argument parser, so that each value arrives as exactly one argument, unchanged, and nothing
// else runs. Two parsers read the line, in this order:
//
// 1. cmd.exe ("How does the Windows Command Interpreter (CMD.EXE) parse scripts?", and
//    `cmd /?`). On a command line (not in a batch file) it first expands %NAME% wherever
//    NAME is a defined variable, inside quotes or not, and a caret cannot stop that. It then
//    scans for & | < > ( ): outside double quotes they are operators, "^" makes the next
//    character literal and is removed, and every '"' toggles quoting.
// 2. The program's C runtime (Microsoft C/C++ docs, "Parsing C command-line arguments"):
//    arguments are split at blanks outside double quotes; 2n backslashes before a '"' give
//    n backslashes and the '"' quotes; 2n+1 give n backslashes and a literal '"'; other
//    backslashes are literal.
//
// A value that has no character either parser acts on is inserted as it is. Any
// other value is first quoted for the C runtime, then every character cmd.exe would act on,
// '"' included, is escaped with '^' (the technique of "Everyone quotes command line arguments
// the wrong way", D. Colascione): cmd.exe then never enters quoted mode inside the value and
// removes every caret, so the runtime sees exactly its quoted text. Percent signs cannot be
// escaped that way, so each one is left outside the runtime's quoted runs with a '"' on its
// inner side(s): every span between two '%' then holds a '"', which no variable name has, and
// nothing expands. '!' matters only under delayed expansion; lines holding one say /V:OFF.
//
// CR, LF and NUL end a command line for cmd.exe whatever the quoting, so no value holding one
// can be passed: such a value is refused with an Error, and its tool does not run.

// True when `value` can stand in the line as it is: non-empty and free of blanks, quotes,
// control characters and the characters cmd.exe acts on.
bool IsPlainArgument(std::wstring_view value);

// True when `path` can stand inside the line's own double quotes as it is.
bool IsPlainQuotedPath(std::wstring_view path);

// The escaped form of an argument, as described above. Raises for CR, LF and NUL.
std::wstring EscapeForCmd(std::wstring_view value);

// `value` as it is when plain, its escaped form otherwise.
std::wstring CmdArgument(std::wstring_view value);

// `"path"` when the path is plain inside quotes, its escaped form otherwise.
std::wstring CmdQuotedPath(std::wstring_view path);

// Throws Error when `value` holds CR, LF or NUL; `what` names it in the message.
void RequirePassable(std::wstring_view value, const std::wstring& what);

// The error every value refused for a command line raises: `why` says which value and why.
[[noreturn]] void RefuseForCommandLine(const std::wstring& why);

}  // namespace vantle
