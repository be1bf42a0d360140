# Test registration shared by all builds.
#
# Every GoogleTest program is registered test by test (discovered when CTest
# runs, so the Wine prefix exists by then). A test passes only when its own
# output says it passed: a Windows program that Wine could not start exits 0
# without a word, and an exit code alone would count that as a pass. A second
# entry per program fails when the program cannot even list its tests.

if(VX_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  if(EXISTS /usr/src/googletest/CMakeLists.txt)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
  else()
    message(FATAL_ERROR "GoogleTest sources missing: run scripts/bootstrap")
  endif()
  include(GoogleTest)
endif()

# vx_add_gtest(<target> [SERIAL] [TIMEOUT seconds])
#   SERIAL: the program creates windows of the wizard's class or otherwise uses
#   state shared by the whole Wine prefix, so it never runs beside another one.
#   Nothing is registered (not even test discovery, which starts the program)
#   where the machine cannot run the build's programs (VX_RUN_WINDOWS_TESTS).
function(vx_add_gtest target)
  if(VX_WINDOWS AND NOT VX_RUN_WINDOWS_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "SERIAL" "TIMEOUT" "" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 180)
  endif()
  set(props
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\."
      SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\] 1 test"
      TIMEOUT ${ARG_TIMEOUT})
  if(ARG_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${target}
      TEST_PREFIX "${VX_FLAVOR}."
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      PROPERTIES ${props})
  add_test(NAME ${VX_FLAVOR}.${target}.starts COMMAND ${target} --gtest_list_tests)
  set_tests_properties(${VX_FLAVOR}.${target}.starts PROPERTIES
      PASS_REGULAR_EXPRESSION "[A-Za-z0-9_/]+\\.\n  [A-Za-z0-9_]"
      TIMEOUT 120)
endfunction()
