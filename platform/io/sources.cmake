# File handles: CreateFile dispatch by namespace, plain files, overlapped requests.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FileObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileIo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlainFile.cpp)

kv_test(platform_io_tests LABELS platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/FileIoTest.cpp)
target_include_directories(platform_io_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
