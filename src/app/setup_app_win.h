#pragma once

#include <windows.h>

#include "install/database.h"
#include "process/shell_module_win.h"

namespace vantle {

// Starts the program proper: the setup dialog with the real profile reader, environment and file
// system, installing through `database` and running its programs through `processes`.
[[noreturn]] void RunSetupApp(HINSTANCE instance, Database& database,
                              ProcessPlatform& processes = ProcessPlatform::Real());

}  // namespace vantle
