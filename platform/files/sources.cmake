# Files, folders, path mapping and INI files.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PathMap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileOps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProfileApi.cpp)

kv_test(platform_files_tests LABELS platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/PathMapTest.cpp ${CMAKE_CURRENT_LIST_DIR}/tests/FileOpsTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tests/ProfileTest.cpp)

# Fuzz target of the INI reader and writer: a libFuzzer program under clang with ASan, and in
# every build a replay test over its seeds and their mutations.
kv_test(platform_fuzz_ini_replay LABELS platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/fuzz/ini_file.cpp ${KV_ROOT}/tests/support/FuzzReplay.cpp
          ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp)
target_include_directories(platform_fuzz_ini_replay PRIVATE ${CMAKE_CURRENT_LIST_DIR})
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND KV_SANITIZE STREQUAL "address")
  add_executable(fuzz_platform_ini ${CMAKE_CURRENT_LIST_DIR}/tests/fuzz/ini_file.cpp ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp)
  target_include_directories(fuzz_platform_ini PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_options(fuzz_platform_ini PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_platform_ini PRIVATE -fsanitize=fuzzer)
endif()

# Processes and the shell.
target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Process.cpp)
kv_test(platform_process_tests LABELS platform desktop
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/ProcessTest.cpp
  LIBS PkgConfig::KV_GDI_DEPS)
add_dependencies(platform_process_tests platform_file_peer)
