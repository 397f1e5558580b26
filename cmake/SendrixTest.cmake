# sendrix_test(NAME SOURCES ... [LIBS ...] [THREADED] [TIMEOUT s])
# One test program per subsystem; each is one ctest entry. THREADED marks
# tests that start threads: the TSan build runs only those.
function(sendrix_test name)
  sendrix_add_test_program(${name} gtest ${ARGN})
endfunction()

# The program and its ctest entry for sendrix_test (kind gtest) and
# sendrix_qt_test (kind qt).
function(sendrix_add_test_program name kind)
  cmake_parse_arguments(T "THREADED" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT SENDRIX_BUILD_TESTS)
    return()
  endif()
  if(SENDRIX_THREADED_TESTS_ONLY AND NOT T_THREADED)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  if(kind STREQUAL "qt")
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE sendrix_test_support Qt6::Test ${T_LIBS})
  else()
    target_link_libraries(${name} PRIVATE sendrix_core sendrix_test_support gtest gmock gtest_main
                          ${T_LIBS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(labels unit)
  if(T_THREADED)
    set(labels threaded)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "SENDRIX_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
  if(kind STREQUAL "qt")
    sendrix_qt_test_env(${name})
  endif()
endfunction()

# sendrix_qt_test_env(NAME): a Qt test runs on the offscreen platform (no
# display needed); under ThreadSanitizer it reads the Qt suppressions file,
# as Qt is not built with ThreadSanitizer.
function(sendrix_qt_test_env name)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  if(SENDRIX_SANITIZE MATCHES "thread")
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
      "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${PROJECT_SOURCE_DIR}/src/mainwnd/qt-tsan.supp")
  endif()
endfunction()

# sendrix_qt_test(NAME SOURCES ... [LIBS ...] [THREADED] [TIMEOUT s])
# A QTest program (it brings its own main), built and labelled as
# sendrix_test builds a GoogleTest one, with the environment above.
function(sendrix_qt_test name)
  sendrix_add_test_program(${name} qt ${ARGN})
endfunction()
