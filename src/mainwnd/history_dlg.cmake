# The history manager dialog: a small Qt Widgets library over sendrix_core.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(sendrix_history_dlg STATIC ${CMAKE_CURRENT_LIST_DIR}/HistoryDlg.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/HistoryDlg.h)
set_target_properties(sendrix_history_dlg PROPERTIES AUTOMOC ON)
target_include_directories(sendrix_history_dlg PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(sendrix_history_dlg PUBLIC sendrix_core Qt6::Widgets)

if(SENDRIX_BUILD_TESTS AND NOT SENDRIX_THREADED_TESTS_ONLY)
  add_executable(history_dlg_tests ${CMAKE_CURRENT_LIST_DIR}/HistoryDlg_test.cpp)
  set_target_properties(history_dlg_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(history_dlg_tests PRIVATE sendrix_history_dlg sendrix_test_support Qt6::Test)
  add_test(NAME history_dlg_tests COMMAND history_dlg_tests)
  set_tests_properties(history_dlg_tests PROPERTIES LABELS unit TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SENDRIX_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endif()
