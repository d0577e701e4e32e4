# carvox_library(NAME SOURCES... [DEPS libs...])
#   One library target per module folder; headers are included as "folder/Header.h"
#   from the source root.
function(carvox_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# carvox_test(NAME SOURCES... [DEPS libs...])
#   A GoogleTest executable registered with CTest. Its main (tests/support) points
#   HOME, the XDG folders and CARVOX_MACHINE at a fresh temporary folder, so tests
#   never touch the user's own files.
function(carvox_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} carvox_test_support GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES LABELS ${name})
endfunction()

# carvox_qt_test(NAME SOURCES... [DEPS libs...])
#   As carvox_test, for tests that show windows: its main also makes a QApplication on
#   the offscreen platform.
function(carvox_qt_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} carvox_qt_test_support GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES LABELS ${name} ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endfunction()
