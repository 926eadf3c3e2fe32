#pragma once

#include <string>

namespace vantle {

// Conversions through the system's ANSI code page (CP_ACP). Characters the code page lacks
// become its default character, as they do for every ANSI program on the machine.
std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);

}  // namespace vantle
