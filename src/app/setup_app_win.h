#pragma once

#include <windows.h>

#include "install/database.h"

namespace vantle {

// Starts the program proper: the setup dialog with the real profile reader, environment, file
// system and process runner, installing through `database`.
[[noreturn]] void RunSetupApp(HINSTANCE instance, Database& database);

}  // namespace vantle
