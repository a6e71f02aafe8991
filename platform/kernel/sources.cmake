# Kernel host: drivers hosted in the process, their device stacks, request packets, plug and play,
# power, timers, pool, the simulated USB bus and the real one through libusb.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Dispatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IoManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KernelHost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Libusb.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LibusbBus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Pool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Timers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UsbBus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UsbService.cpp)

kv_test(platform_kernel_tests LABELS platform usb
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/KernelHostTest.cpp)
kv_test(platform_usb_bus_tests LABELS platform usb
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/UsbBusTest.cpp ${CMAKE_CURRENT_LIST_DIR}/tests/UsbServiceTest.cpp)
