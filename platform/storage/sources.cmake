# Compound files on libgsf, and the wide-character conversions they name streams with.
pkg_check_modules(KV_GSF_DEPS REQUIRED IMPORTED_TARGET libgsf-1)

target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CompoundFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Ole.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Storage.cpp)
target_link_libraries(platform PRIVATE PkgConfig::KV_GSF_DEPS)

# A second process for the tests: opens files with the sharing rules and says what it got.
add_executable(platform_file_peer ${CMAKE_CURRENT_LIST_DIR}/tests/FilePeer.cpp)
target_link_libraries(platform_file_peer PRIVATE platform)
set_target_properties(platform_file_peer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/tests
                                                    BUILD_RPATH "$ORIGIN/..;$ORIGIN")

kv_test(platform_storage_tests LABELS platform storage
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/StorageTest.cpp ${CMAKE_CURRENT_LIST_DIR}/tests/WideCharTest.cpp)
add_dependencies(platform_storage_tests platform_file_peer)

# Fuzz target of the compound-file reader: a libFuzzer program under clang with ASan, and in every
# build a replay test over its seeds and their mutations.
kv_test(platform_fuzz_compound_replay LABELS platform storage
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/fuzz/compound_file.cpp ${KV_ROOT}/tests/support/FuzzReplay.cpp
          ${CMAKE_CURRENT_LIST_DIR}/CompoundFile.cpp
  LIBS PkgConfig::KV_GSF_DEPS)
target_include_directories(platform_fuzz_compound_replay PRIVATE ${KV_ROOT}/platform)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND KV_SANITIZE STREQUAL "address")
  add_executable(fuzz_platform_compound ${CMAKE_CURRENT_LIST_DIR}/tests/fuzz/compound_file.cpp
                                        ${CMAKE_CURRENT_LIST_DIR}/CompoundFile.cpp)
  target_include_directories(fuzz_platform_compound PRIVATE ${KV_ROOT}/platform)
  target_link_libraries(fuzz_platform_compound PRIVATE platform PkgConfig::KV_GSF_DEPS)
  target_compile_options(fuzz_platform_compound PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_platform_compound PRIVATE -fsanitize=fuzzer)
endif()
