# The history manager dialog: a small Qt Widgets library over sendrix_core.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(sendrix_history_dlg STATIC ${CMAKE_CURRENT_LIST_DIR}/HistoryDlg.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/HistoryDlg.h)
set_target_properties(sendrix_history_dlg PROPERTIES AUTOMOC ON)
target_include_directories(sendrix_history_dlg PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(sendrix_history_dlg PUBLIC sendrix_core Qt6::Widgets)

sendrix_qt_test(history_dlg_tests TIMEOUT 120 LIBS sendrix_history_dlg SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/HistoryDlg_test.cpp)
