# Serial ports: "\\.\COMn" through the port table to a virtual port of simulated hardware or a
# Linux tty, with the comm semantics on the platform clock.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SerialPort.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VirtualPort.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TtyPort.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TtySpeed.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommApi.cpp)

kv_test(platform_serial_tests LABELS platform serial
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/VirtualPortTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/TtyPortTest.cpp)
