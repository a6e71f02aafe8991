# Files, folders, path mapping and INI files.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PathMap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileOps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProfileApi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WholeFile.cpp)

kv_test(platform_files_tests LABELS platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/PathMapTest.cpp ${CMAKE_CURRENT_LIST_DIR}/tests/FileOpsTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tests/ProfileTest.cpp ${CMAKE_CURRENT_LIST_DIR}/tests/WholeFileTest.cpp)

# Fuzz target of the INI reader and writer.
kv_fuzz(platform_ini LABELS platform
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/tests/fuzz/ini_file.cpp
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  INCLUDES ${CMAKE_CURRENT_LIST_DIR})

# Processes and the shell.
target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Process.cpp)
kv_test(platform_process_tests LABELS platform desktop
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/ProcessTest.cpp
  LIBS PkgConfig::KV_GDI_DEPS)
add_dependencies(platform_process_tests platform_file_peer)
