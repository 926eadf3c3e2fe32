#pragma once

#include <string>

#include "common/environment.h"
#include "dialog/dialog_fields.h"
#include "profile/profile_reader.h"

namespace vantle {

inline constexpr const wchar_t* kDefaultLogin = L"quillmar";
inline constexpr const wchar_t* kDefaultPassword = L"8vek3";

// console.ini in the Windows folder names the folder of the installed application.
std::wstring MachineProfilePath(const Environment& environment);

// The install folder without one trailing backslash; the program folder stands in when the
// machine profile names none.
std::wstring ResolveInstallFolder(const ProfileReader& profiles, const Environment& environment);

std::wstring ApplicationProfilePath(const std::wstring& installFolder);

// The dialog's load step: fills server and database from QVN.ini, login and password from the
// fixed defaults, in that order. Reports nothing: anything missing leaves its field empty.
void LoadConnectionDefaults(DialogFields& fields, const ProfileReader& profiles,
                            const Environment& environment);

}  // namespace vantle
