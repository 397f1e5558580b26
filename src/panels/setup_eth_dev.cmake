# The device setup dialog: a small Qt Widgets library over sendrix_core.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(sendrix_setup_eth_dev STATIC ${CMAKE_CURRENT_LIST_DIR}/SetupEthDevDlg.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/SetupEthDevDlg.h)
set_target_properties(sendrix_setup_eth_dev PROPERTIES AUTOMOC ON)
target_include_directories(sendrix_setup_eth_dev PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(sendrix_setup_eth_dev PUBLIC sendrix_core Qt6::Widgets)

if(SENDRIX_BUILD_TESTS)
  # Starts the virtual printer's I/O thread and the dialog's worker threads.
  add_executable(setup_eth_dev_tests ${CMAKE_CURRENT_LIST_DIR}/SetupEthDevDlg_test.cpp
                                     ${PROJECT_SOURCE_DIR}/tools/printer-sim/SimTestClient.cpp)
  set_target_properties(setup_eth_dev_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(setup_eth_dev_tests PRIVATE sendrix_setup_eth_dev sendrix_test_support printer_sim
                                              Qt6::Test)
  add_test(NAME setup_eth_dev_tests COMMAND setup_eth_dev_tests)
  set(setup_eth_dev_env "QT_QPA_PLATFORM=offscreen;SENDRIX_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
  if(SENDRIX_SANITIZE MATCHES "thread")
    # Qt is not built with ThreadSanitizer; see the suppressions file.
    list(APPEND setup_eth_dev_env "TSAN_OPTIONS=halt_on_error=1:suppressions=${PROJECT_SOURCE_DIR}/src/mainwnd/qt-tsan.supp")
  endif()
  set_tests_properties(setup_eth_dev_tests PROPERTIES LABELS threaded TIMEOUT 120
    ENVIRONMENT "${setup_eth_dev_env}")
endif()

