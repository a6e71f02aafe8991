# Base services: the handle table, last-error, code pages, the runtime folder.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/HandleTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Handles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CodePage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RuntimeDir.cpp
)
target_include_directories(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)

kv_test(platform_base_tests LABELS platform
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/HandleTableTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HandleTable.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/CodePageTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/RuntimeDirTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/UniqueHandleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ByteOrderTest.cpp)
target_include_directories(platform_base_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
