# The device setup dialog: a small Qt Widgets library over sendrix_core.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

# It holds the controls-by-ID helper too, which the window (linking this
# library) shares.
add_library(sendrix_setup_eth_dev STATIC ${CMAKE_CURRENT_LIST_DIR}/SetupEthDevDlg.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/SetupEthDevDlg.h
                                         ${CMAKE_CURRENT_LIST_DIR}/ControlMap.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/FrameBox.cpp)
set_target_properties(sendrix_setup_eth_dev PROPERTIES AUTOMOC ON)
target_include_directories(sendrix_setup_eth_dev PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(sendrix_setup_eth_dev PUBLIC sendrix_core Qt6::Widgets)

# Starts the virtual printer's I/O thread and the dialog's worker threads.
sendrix_qt_test(setup_eth_dev_tests THREADED TIMEOUT 120
  LIBS sendrix_setup_eth_dev printer_sim
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SetupEthDevDlg_test.cpp
          ${PROJECT_SOURCE_DIR}/tools/printer-sim/SimTestClient.cpp)
