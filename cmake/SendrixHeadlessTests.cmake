# The program run headless as a script runs it, against the virtual printer:
# the same scripts for the build with the window and for the one without Qt
# (SENDRIX_GUI=OFF), whose `sendrix` must print exactly the same.
if(NOT SENDRIX_BUILD_TESTS OR SENDRIX_THREADED_TESTS_ONLY)
  return()
endif()
set(dir ${PROJECT_SOURCE_DIR}/src/mainwnd)
add_test(NAME sendrix_headless_e2e
  COMMAND bash ${dir}/HeadlessEndToEnd_test.sh
          $<TARGET_FILE:sendrix> $<TARGET_FILE:sendrix-printer-sim>)
set_tests_properties(sendrix_headless_e2e PROPERTIES TIMEOUT 300 LABELS "e2e;headless")
# Status requests and automatic status in words, against every printer state.
add_test(NAME sendrix_status_e2e
  COMMAND bash ${dir}/StatusEndToEnd_test.sh
          $<TARGET_FILE:sendrix> $<TARGET_FILE:sendrix-printer-sim>)
set_tests_properties(sendrix_status_e2e PROPERTIES TIMEOUT 300 LABELS "e2e;headless")
# What the user owns (settings, histories, input files) survives the runs.
add_test(NAME sendrix_stored_data_e2e
  COMMAND bash ${dir}/StoredData_test.sh
          $<TARGET_FILE:sendrix> $<TARGET_FILE:sendrix-printer-sim>)
set_tests_properties(sendrix_stored_data_e2e PROPERTIES TIMEOUT 300 LABELS "e2e;headless")
# A batch run connects once and keeps what the printer sent on connecting.
add_test(NAME sendrix_connect_once
  COMMAND bash ${dir}/ConnectOnce_test.sh
          $<TARGET_FILE:sendrix> $<TARGET_FILE:sendrix-printer-sim>)
set_tests_properties(sendrix_connect_once PROPERTIES TIMEOUT 120 LABELS "e2e;headless")
# Every printer fault against the program, one row each (docs/reliability.md).
add_test(NAME sendrix_fault_matrix
  COMMAND bash ${dir}/FaultMatrix_test.sh
          $<TARGET_FILE:sendrix> $<TARGET_FILE:sendrix-printer-sim>)
set_tests_properties(sendrix_fault_matrix PROPERTIES TIMEOUT 240 LABELS "e2e;faults;headless")
# A port refused for lack of permission or held by another process, run
# as an unprivileged user where the machine allows (exit 77 skips).
add_test(NAME sendrix_port_permission
  COMMAND bash ${dir}/PortPermission_test.sh
          $<TARGET_FILE:sendrix> $<TARGET_FILE:sendrix-printer-sim>)
set_tests_properties(sendrix_port_permission PROPERTIES TIMEOUT 120 LABELS "e2e;headless"
                     SKIP_RETURN_CODE 77)
# Expected replies (-E:, -T:): met, wildcards, not met (exit 4), refused.
add_test(NAME sendrix_expected_reply
  COMMAND bash ${dir}/ExpectedReply_test.sh
          $<TARGET_FILE:sendrix> $<TARGET_FILE:sendrix-printer-sim>)
set_tests_properties(sendrix_expected_reply PROPERTIES TIMEOUT 180 LABELS "e2e;headless")
# A headless run loads no Qt library, not even the core: it starts as fast
# as the batch program without Qt does.
add_test(NAME sendrix_headless_no_qt
  COMMAND bash ${PROJECT_SOURCE_DIR}/src/windowlogic/HeadlessNoQt_test.sh
          $<TARGET_FILE:sendrix> $<TARGET_FILE:sendrix-printer-sim>)
set_tests_properties(sendrix_headless_no_qt PROPERTIES TIMEOUT 120 LABELS "e2e;headless")
