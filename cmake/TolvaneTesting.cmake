# tolvane_add_test(NAME SOURCES ... LIBS ... [THREADED] [TIMEOUT seconds])
# Adds a GoogleTest program and registers its cases with CTest. THREADED marks tests that drive
# worker threads: only those are built when TOLVANE_TEST_SET is "threaded" (the ThreadSanitizer build).
find_package(GTest REQUIRED)
# QTest clicks and key presses in the window tests.
find_package(Qt6 REQUIRED COMPONENTS Test)
include(GoogleTest)

function(tolvane_add_test name)
  cmake_parse_arguments(T "THREADED" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(TOLVANE_TEST_SET STREQUAL "threaded" AND NOT T_THREADED)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tolvane_testsupport tolvane_testmain)
  set(labels unit)
  if(T_THREADED)
    set(labels threaded)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      LABELS "${labels}"
      TIMEOUT ${T_TIMEOUT})
endfunction()
