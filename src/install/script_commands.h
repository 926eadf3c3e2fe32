#pragma once

#include <string>

#include "dialog/dialog_fields.h"

namespace vantle {

inline constexpr const wchar_t* kScriptFileName = L"TableScripts.sql";
inline constexpr const wchar_t* kResultLogName = L"TableScriptResults.log";

enum class ScriptTool { Primary, Fallback };  // sqlcmd, and the older osql

struct ToolSettings {
    std::wstring server;
    std::wstring login;
    std::wstring password;
    std::wstring database;
};

// Reads the four fields afresh, in the order the tool line uses them.
ToolSettings ReadToolSettings(const DialogFields& fields);

std::wstring ScriptPath(const std::wstring& programFolder);
std::wstring ResultLogPath(const std::wstring& tempFolder);

// "cmd.exe /c sqlcmd -S <server> -U <login> -P <password> -d <database> -i "<script>" -o
// "<log>"" (osql for the fallback). Plain values stand as they are; others are escaped so that
// each reaches the tool as one argument holding exactly its text. Raises when a value holds
// CR, LF or NUL.
std::wstring ToolCommandLine(ScriptTool tool, const ToolSettings& settings,
                             const std::wstring& programFolder, const std::wstring& tempFolder);

// "cmd.exe /c start notepad "<log>"": start makes the interpreter return at once, so the
// program does not wait for Notepad, which stays open after the program has ended.
std::wstring ViewerCommandLine(const std::wstring& tempFolder);

}  // namespace vantle
