# The receive display and the output window: Qt widgets the main window
# embeds, in their own library so that sendrix_core never sees Qt.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(sendrix_rxview STATIC
  ${CMAKE_CURRENT_LIST_DIR}/HexListView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputWinDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReceiveDisplay.cpp
)
set_target_properties(sendrix_rxview PROPERTIES AUTOMOC ON)
target_link_libraries(sendrix_rxview PUBLIC sendrix_core Qt6::Widgets)

# QTest cases on the offscreen platform; they stream from the virtual printer
# over loopback, so they start threads.
if(SENDRIX_BUILD_TESTS)
  add_executable(rxview_tests
    ${CMAKE_CURRENT_LIST_DIR}/RxViewTestMain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RxViewTestSession.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReceiveDisplay_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OutputWindow_test.cpp
  )
  set_target_properties(rxview_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(rxview_tests PRIVATE sendrix_rxview sendrix_test_support printer_sim Qt6::Test)
  add_test(NAME rxview_tests COMMAND rxview_tests)
  set(rxview_env "QT_QPA_PLATFORM=offscreen;SENDRIX_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
  if(SENDRIX_SANITIZE MATCHES "thread")
    # Qt is not built with ThreadSanitizer; see the suppressions file.
    list(APPEND rxview_env "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_CURRENT_LIST_DIR}/qt-tsan.supp")
  endif()
  set_tests_properties(rxview_tests PROPERTIES LABELS threaded TIMEOUT 300
    ENVIRONMENT "${rxview_env}")
endif()
