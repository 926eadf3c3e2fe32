# Programs whose entry point is wmain or wWinMain: MinGW needs -municode for those.
function(vantle_wide_entry target)
  if(MINGW)
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()

# A DLL whose exports others look up by plain name (COM's DllGetClassObject, a hook procedure):
# on x86 a __stdcall export comes out decorated (_Name@12) unless the linker is told to drop it,
# and a .def file's plain names are bound to the decorated symbols on purpose.
function(vantle_plain_exports target)
  if(MINGW AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
  endif()
endfunction()

# Tests that need Windows itself: run under Wine by CTest's cross-compiling emulator, with
# windows on an Xvfb display (scripts/test sets up both).
add_library(vantle_win_test_support STATIC
  support/command_line_models.cpp
  support/screen_win.cpp
  support/standin_calls.cpp
  support/start_retries_win.cpp
  support/win_test_support.cpp
)
target_include_directories(vantle_win_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vantle_win_test_support PUBLIC vantle_win gtest)

add_executable(vantle_win_tests
  common/dll_search_win_test.cpp
  common/environment_win_test.cpp
  install/ado_database_win_test.cpp
  install/file_system_win_test.cpp
  install/script_run_win_test.cpp
  process/sync_shell_win_test.cpp
  profile/ini_read_win_test.cpp
  support/start_retries_win_test.cpp
)
target_link_libraries(vantle_win_tests PRIVATE vantle_win_test_support gtest_main version)
# What the version resource test expects the exe to carry.
target_compile_definitions(vantle_win_tests PRIVATE
                           "VANTLE_PROJECT_VERSION=L\"${PROJECT_VERSION}\"")
add_test(NAME windows COMMAND vantle_win_tests)

# For the DLL search tests: a probe that loads a DLL by name in a process of its own, and a DLL
# of a name no Windows has, in bin/planted, for the tests to plant where a search must not look.
add_executable(dll_probe common/dll_probe_win.cpp)
target_link_libraries(dll_probe PRIVATE vantle_win)
vantle_wide_entry(dll_probe)
add_library(vantle_planted_dll SHARED common/planted_dll_win.cpp)
set_target_properties(vantle_planted_dll PROPERTIES PREFIX "" OUTPUT_NAME vantle_planted
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/planted)
target_link_libraries(vantle_planted_dll PRIVATE vantle_options)
add_dependencies(vantle_win_tests dll_probe vantle_planted_dll)

add_executable(vantle_e2e_tests
  e2e/accessibility_e2e_test.cpp
  e2e/dialog_e2e_test.cpp
  e2e/dll_search_e2e_test.cpp
  e2e/field_border_e2e_test.cpp
  e2e/hardening_e2e_test.cpp
  e2e/install_e2e_test.cpp
  e2e/install_fixture_win.cpp
  e2e/stop_e2e_test.cpp
)
target_link_libraries(vantle_e2e_tests PRIVATE vantle_win_test_support gtest_main)
# The tests name only what they change of a launch (designated initialisers); GCC 10 warns
# about the members left to their defaults.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(vantle_e2e_tests PRIVATE -Wno-missing-field-initializers)
endif()
add_dependencies(vantle_e2e_tests VantleSetup VantleSetupHarness vantle_font_watch)

# Window hooks the system loads into the real program, watching the fonts its controls hold and
# where the focus goes as the dialog is activated.
add_library(vantle_font_watch SHARED e2e/font_watch_win.cpp)
set_target_properties(vantle_font_watch PROPERTIES PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/hooks)
target_include_directories(vantle_font_watch PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vantle_font_watch PRIVATE vantle_options user32 gdi32)
vantle_plain_exports(vantle_font_watch)

# The real program with the in-process stand-in database in place of ADO.
add_executable(VantleSetupHarness WIN32 e2e/harness_win.cpp)
target_include_directories(VantleSetupHarness PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(VantleSetupHarness PRIVATE vantle_win)
vantle_wide_entry(VantleSetupHarness)
add_test(NAME e2e COMMAND vantle_e2e_tests)

# Stand-ins for sqlcmd, osql and notepad, and a helper child, in bin/standins.
foreach(standin sqlcmd osql notepad child)
  add_executable(standin_${standin} standins/fake_tool.cpp)
  set_target_properties(standin_${standin} PROPERTIES OUTPUT_NAME ${standin}
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/standins)
  target_include_directories(standin_${standin} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(standin_${standin} PRIVATE vantle_options shell32)
  vantle_wide_entry(standin_${standin})
  list(APPEND VANTLE_STANDINS standin_${standin})
endforeach()
# A stand-in for SQL Server's OLE DB provider beneath the real ADO, registered in every test
# prefix as SQLOLEDB (scripts/wine-prefix: vantle_register_provider).
add_library(fake_sqloledb SHARED standins/fake_provider.cpp standins/fake_provider_objects.cpp
            standins/fake_provider_registration.cpp standins/fake_provider.def)
set_target_properties(fake_sqloledb PROPERTIES PREFIX "" OUTPUT_NAME fake_sqloledb
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/standins
                      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
target_include_directories(fake_sqloledb PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(fake_sqloledb PRIVATE vantle_options kernel32 user32 ole32 oleaut32 advapi32
                      uuid)
vantle_plain_exports(fake_sqloledb)
list(APPEND VANTLE_STANDINS fake_sqloledb)
# The DLL a test plants where the search order must never look, in a folder of its own so that
# nothing finds it by accident (the stand-ins' folder is on the tests' PATH).
add_library(planted_netlib SHARED standins/planted_netlib.cpp)
set_target_properties(planted_netlib PROPERTIES PREFIX "" OUTPUT_NAME vantle_netlib
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/planted
                      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
target_include_directories(planted_netlib PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(planted_netlib PRIVATE vantle_options kernel32)
list(APPEND VANTLE_STANDINS planted_netlib)
add_dependencies(vantle_win_tests ${VANTLE_STANDINS})
add_dependencies(vantle_e2e_tests ${VANTLE_STANDINS})

# Benchmarks: figures printed by scripts/bench, never asserted.
add_executable(vantle_process_bench bench/process_bench_win.cpp)
target_link_libraries(vantle_process_bench PRIVATE vantle_win_test_support)
vantle_wide_entry(vantle_process_bench)
add_dependencies(vantle_process_bench ${VANTLE_STANDINS})
# The start-up yardstick carries the program's manifest and loads the same system DLLs.
add_executable(vantle_bare_window WIN32 bench/bare_window_win.cpp bench/bare_window.rc)
target_include_directories(vantle_bare_window PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(vantle_bare_window PRIVATE vantle_options user32 gdi32 kernel32 ole32
                                                 oleaut32 uuid)
vantle_wide_entry(vantle_bare_window)
# The fair start-up yardstick: the same window with the dialog's controls and font.
add_executable(vantle_bare_controls WIN32 bench/bare_controls_win.cpp bench/bare_window.rc)
target_include_directories(vantle_bare_controls PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(vantle_bare_controls PRIVATE vantle_options user32 gdi32 kernel32 ole32
                                                   oleaut32 uuid)
vantle_wide_entry(vantle_bare_controls)
add_executable(vantle_startup_bench bench/startup_bench_win.cpp)
target_link_libraries(vantle_startup_bench PRIVATE vantle_win_test_support psapi)
vantle_wide_entry(vantle_startup_bench)
add_dependencies(vantle_startup_bench VantleSetup vantle_bare_window vantle_bare_controls)
add_executable(vantle_tool_start_bench bench/tool_start_bench_win.cpp)
target_link_libraries(vantle_tool_start_bench PRIVATE vantle_win_test_support psapi)
vantle_wide_entry(vantle_tool_start_bench)
add_dependencies(vantle_tool_start_bench VantleSetup vantle_bare_tool ${VANTLE_STANDINS})
# The yardstick for OK to the tool: the program's cmd.exe line started the program's way, on a click.
add_executable(vantle_bare_tool WIN32 bench/bare_tool_win.cpp bench/bare_window.rc)
target_include_directories(vantle_bare_tool PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(vantle_bare_tool PRIVATE vantle_options user32 gdi32 kernel32 ole32 oleaut32
                                               uuid)
vantle_wide_entry(vantle_bare_tool)
# The yardstick for OK to the re-run question: the same ADO calls on one thread, on a click.
add_executable(vantle_bare_ado WIN32 bench/bare_ado_win.cpp bench/bare_window.rc)
target_include_directories(vantle_bare_ado PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(vantle_bare_ado PRIVATE vantle_options user32 gdi32 kernel32 ole32 oleaut32
                                              uuid)
vantle_wide_entry(vantle_bare_ado)
add_executable(vantle_question_bench bench/question_bench_win.cpp)
target_link_libraries(vantle_question_bench PRIVATE vantle_win_test_support psapi)
vantle_wide_entry(vantle_question_bench)
add_dependencies(vantle_question_bench VantleSetup vantle_bare_ado ${VANTLE_STANDINS})
