# The transfer engine: packet writer, transmit threads, receive ring buffers
# and reader threads.
target_sources(sendrix_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ReaderThreads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReceivedDataFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RingBuffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RxFeed.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TransferEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TransferGlobals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TransmitThreads.cpp
)

# Test support shared with the firmware tests.
set(SENDRIX_ENGINE_TEST_SUPPORT
  ${CMAKE_CURRENT_LIST_DIR}/EngineTestSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FakeCommLink.cpp
  CACHE INTERNAL "")

# The end-to-end cases run against the virtual printer (tools/printer-sim).
set(SENDRIX_ENGINE_E2E_LIBS "" CACHE INTERNAL "")
set(engine_e2e_sources "")
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/printer-sim/CMakeLists.txt)
  set(SENDRIX_ENGINE_E2E_LIBS printer_sim CACHE INTERNAL "")
  set(engine_e2e_sources ${CMAKE_CURRENT_LIST_DIR}/EngineEndToEnd_test.cpp)
endif()

sendrix_test(engine_tests THREADED LIBS ${SENDRIX_ENGINE_E2E_LIBS} SOURCES
  ${engine_e2e_sources}
  ${CMAKE_CURRENT_LIST_DIR}/RingBuffer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RxFeed_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReaderThreads_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TransferEngine_test.cpp
  ${SENDRIX_ENGINE_TEST_SUPPORT}
)
