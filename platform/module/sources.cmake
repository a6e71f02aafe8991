# Modules: loading by the system's names, exports, version blocks.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ModuleSearch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VersionRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VersionInfo.cpp)

include(${CMAKE_CURRENT_LIST_DIR}/tests/tests.cmake)
