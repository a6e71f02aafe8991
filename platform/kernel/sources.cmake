# Kernel host: drivers hosted in the process, their device stacks, request packets, plug and play,
# power, timers, pool and the simulated USB bus.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Dispatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IoManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KernelHost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Pool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Timers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UsbBus.cpp)

kv_test(platform_kernel_tests LABELS platform usb
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/KernelHostTest.cpp)
