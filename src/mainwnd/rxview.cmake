# The receive display and the output window: Qt widgets the main window
# embeds, in their own library so that sendrix_core never sees Qt.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(sendrix_rxview STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AccessibleHexCell.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AccessibleHexList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GuiInvoker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HexListView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputWinDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReceiveDisplay.cpp
)
set_target_properties(sendrix_rxview PROPERTIES AUTOMOC ON)
target_link_libraries(sendrix_rxview PUBLIC sendrix_core Qt6::Widgets)

# QTest cases on the offscreen platform; they stream from the virtual printer
# over loopback, so they start threads.
sendrix_qt_test(rxview_tests THREADED LIBS sendrix_rxview printer_sim SOURCES
  ${PROJECT_SOURCE_DIR}/src/testsupport/RxViewTestMain.cpp
  ${PROJECT_SOURCE_DIR}/src/testsupport/RxViewTestSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReceiveDisplay_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputWindow_test.cpp
)
