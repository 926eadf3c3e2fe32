# Tests that need Windows itself: run under Wine by CTest's cross-compiling emulator.
