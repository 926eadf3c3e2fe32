#pragma once

namespace vantle {

// Names the program is known by to the operator, to the system and to other copies of itself.
inline constexpr const wchar_t* kAppCaption = L"Setup Vantle Tables";
inline constexpr const wchar_t* kDialogWindowClass = L"VantleSetupForm1";
// "Local\" is the namespace of the Windows (Terminal Services) session, not of a logon: one
// copy per session. Two copies would share %TEMP%'s result log.
inline constexpr const wchar_t* kSingleInstanceMutex =
    L"Local\\VantleSetup-3F6B2C1E-8D4A-4E7B-9A51-7C0D2E9B4F18";

}  // namespace vantle
