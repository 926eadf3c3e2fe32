#pragma once

#include <windows.h>

namespace vantle {

// Starts the program proper: the setup dialog with its real profile reader and environment.
[[noreturn]] void RunSetupApp(HINSTANCE instance);

}  // namespace vantle
