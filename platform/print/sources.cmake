# Printing: printer DCs on Cairo PDF surfaces, the print dialog, CUPS submission.
find_library(KV_CUPS_LIBRARY cups REQUIRED)
find_path(KV_CUPS_INCLUDE cups/cups.h REQUIRED)

target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Cups.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GlobalMemory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PrintDialogWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PrintDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PrintJob.cpp)
target_include_directories(platform PRIVATE ${KV_CUPS_INCLUDE})
target_link_libraries(platform PRIVATE ${KV_CUPS_LIBRARY})

kv_test(platform_print_tests LABELS gui platform print
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/PrintTest.cpp
  LIBS PkgConfig::KV_GDI_DEPS)
target_include_directories(platform_print_tests PRIVATE ${KV_ROOT}/platform)
