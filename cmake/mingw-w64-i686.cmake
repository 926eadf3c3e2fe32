# Cross-compiling for 32-bit Windows (x86) with Debian's MinGW-w64, posix threads variant. The
# x86 program runs on every Windows from 7 SP1 on, 32- and 64-bit (there under WOW64), and on
# Arm64 Windows through emulation.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
