# Tests that need Windows itself: run under Wine by CTest's cross-compiling emulator, with
# windows on an Xvfb display (scripts/test sets up both).
add_library(vantle_win_test_support STATIC support/win_test_support.cpp)
target_include_directories(vantle_win_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vantle_win_test_support PUBLIC vantle_win gtest)

add_executable(vantle_win_tests
  profile/ini_read_win_test.cpp
)
target_link_libraries(vantle_win_tests PRIVATE vantle_win_test_support gtest_main)
add_test(NAME windows COMMAND vantle_win_tests)

add_executable(vantle_e2e_tests
  e2e/dialog_e2e_test.cpp
)
target_link_libraries(vantle_e2e_tests PRIVATE vantle_win_test_support gtest_main)
add_dependencies(vantle_e2e_tests VantleSetup)
add_test(NAME e2e COMMAND vantle_e2e_tests)
