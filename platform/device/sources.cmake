# Device services: interface enumeration, the "\\?\" device namespace over the kernel host,
# device-change notices, the notification area; and "Shell32.dll" with its version query.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DeviceFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DeviceNotify.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SetupDi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tray.cpp)

kv_module(Shell32 SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShellVersion.cpp)

kv_test(platform_device_tests LABELS usb platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/DeviceNotifyTest.cpp ${CMAKE_CURRENT_LIST_DIR}/tests/TrayRecordTest.cpp)
