# The transfer engine: packet writer, transmit threads, receive ring buffers
# and reader threads.
target_sources(sendrix_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/RingBuffer.cpp
)

sendrix_test(engine_tests THREADED SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/RingBuffer_test.cpp
)
