# The communications library: state and dispatch, the I/O engine, the serial
# and TCP/IP backends and the Ethernet discovery.
target_sources(sendrix_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Cablox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommBackendRegistry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommErrorReporter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommIoEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommLibrary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EthernetDiscovery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialBackend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialPortList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialSettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TcpBackend.cpp
)

sendrix_test(comm_tests THREADED SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/CommLibrary_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommIoEngine_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialBackend_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TcpBackend_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EthernetDiscovery_test.cpp
)
