#pragma once

// Models of the two parsers a tool's command line passes through on Windows, written from
// their documentation, so that the quoting can be checked on any platform.
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace vantle::testing {

// cmd.exe on a command line: %NAME% expansion of defined names (an undefined one is kept and
// scanning goes on right after its first '%', the most eager re-pairing), then the caret and
// quote scan. Returns nullopt when an unescaped & | < > ( ) would act as an operator.
std::optional<std::wstring> CmdModel(const std::wstring& line,
                                     const std::map<std::wstring, std::wstring>& variables);

// The Microsoft C runtime's argument splitting (the rules since Visual C++ 2008).
std::vector<std::wstring> CrtArguments(const std::wstring& arguments);

// Random hard values: blanks, quotes, backslashes, cmd operators, % and !, non-ASCII.
std::wstring RandomHardValue(std::mt19937& random, size_t maxLength);

}  // namespace vantle::testing
