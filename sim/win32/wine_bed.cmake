# Windows test programs under Wine: one directory holds every test program and every DLL they
# load (the Windows loader looks next to the program first), and one function adds a test.
#
#   qarn_wine_runtime_dll(target)        a DLL target to be copied into that directory
#   qarn_wine_runtime_dlls(target)       a program built into that directory, with the DLLs
#   qarn_add_wine_test(name sources...)  a GoogleTest program linked with the test host, run
#                                        by CTest through Wine, one CTest test per gtest test
include_guard(GLOBAL)

# The toolchain's default thread model (win32) has no std::mutex, on which GoogleTest builds its
# Notification: a replacement is force-included into GoogleTest and everything that uses it.
if(TARGET gtest)
  target_compile_options(gtest PUBLIC
    "$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/gtest_notification.h>")
endif()

set(QARN_WINE_BIN_DIR ${CMAKE_BINARY_DIR}/wine CACHE INTERNAL
    "Directory of the Wine test programs and the DLLs they load")

set(QARN_WINE_RUNNER ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh CACHE INTERNAL
    "Runs a Windows test program under Wine for CTest")

function(qarn_wine_runtime_dll target)
  set_property(GLOBAL APPEND PROPERTY QARN_WINE_RUNTIME_DLLS ${target})
endfunction()

function(qarn_wine_runtime_dlls target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QARN_WINE_BIN_DIR})
  add_dependencies(${target} qarn_wine_dlls)
endfunction()

function(qarn_add_wine_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE qarn_plugin_host gtest gtest_main)
  qarn_wine_runtime_dlls(${name})
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "/bin/sh;${QARN_WINE_RUNNER};${CMAKE_CROSSCOMPILING_EMULATOR}")
  include(GoogleTest)  # here: its discovery script is found through a variable of this scope
  # Each gtest test runs in its own Wine process: a plug-in's load-time state never leaks from
  # one test into the next.
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    WORKING_DIRECTORY ${QARN_WINE_BIN_DIR}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "WINEDEBUG=-all" TIMEOUT 120)
endfunction()

# The copies are made once every DLL target is known, at the end of the top directory, and on
# every build, so that a rebuilt DLL never leaves a stale copy behind.
function(_qarn_wine_make_dll_copies)
  get_property(dlls GLOBAL PROPERTY QARN_WINE_RUNTIME_DLLS)
  set(files)
  foreach(dll IN LISTS dlls)
    list(APPEND files $<TARGET_FILE:${dll}>)
  endforeach()
  add_custom_target(qarn_wine_dlls ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QARN_WINE_BIN_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${files} ${QARN_WINE_BIN_DIR}
    COMMENT "DLLs for the Wine tests into ${QARN_WINE_BIN_DIR}"
    VERBATIM)
  if(dlls)
    add_dependencies(qarn_wine_dlls ${dlls})
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _qarn_wine_make_dll_copies)
