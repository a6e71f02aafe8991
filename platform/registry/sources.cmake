# Registry: machine and user stores in SQLite.
find_package(SQLite3 REQUIRED)
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/RegistryStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegistryApi.cpp)
target_link_libraries(platform PRIVATE SQLite::SQLite3)

kv_test(platform_registry_tests LABELS platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/RegistryTest.cpp ${CMAKE_CURRENT_LIST_DIR}/tests/RegistryStoreTest.cpp)
target_link_libraries(platform_registry_tests PRIVATE SQLite::SQLite3)
