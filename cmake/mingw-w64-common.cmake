# What both MinGW-w64 toolchain files share; TOOLCHAIN_PREFIX names the target. The posix
# threads variant gives std::thread to GoogleTest.
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
# windres through a wrapper that gives it its include folders relative to the build folder:
# windres passes them to the preprocessor through sh, where a checkout's "&" would split them.
set(CMAKE_RC_COMPILER ${CMAKE_CURRENT_LIST_DIR}/windres-relative-includes)
set(CMAKE_RC_COMPILER_ARG1 ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test executables run under Wine through CTest (a 32-bit one under Wine's WoW64).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
