# Build helpers shared by every folder.
#
#   kv_module(NAME SOURCES ... [LIBS ...])      shared library loaded by name at run time: bin/NAME.so
#   kv_library(NAME SOURCES ... [LIBS ...])     static library for in-process use (tests, fixtures)
#   kv_program(NAME SOURCES ... [LIBS ...])     executable in bin/
#   kv_test(NAME LABELS ... SOURCES ... [LIBS ...] [ENV ...])
#                                               GoogleTest program registered with CTest, isolated environment
#   kv_bench(NAME SOURCES ... [LIBS ...])       Google Benchmark program bin/bench_NAME
#   kv_fuzz(NAME SOURCE file [SOURCES ...] [LIBS ...] [LABELS ...] [INCLUDES ...])
#                                               fuzz target of one reader of outside bytes

include_guard(GLOBAL)

set(KV_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

# Code in modules that are loaded and unloaded at run time must not carry unique symbols, which
# would pin the module in memory. GCC emits them for inline statics; clang never does.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(KV_NO_GNU_UNIQUE -fno-gnu-unique)
else()
  set(KV_NO_GNU_UNIQUE "")
endif()

# Every module of ours carries a version block readable by file name.
function(kv_version_block target)
  set(tmpl ${KV_ROOT}/platform/module/VersionBlock.cpp.in)
  if(NOT EXISTS ${tmpl})
    return()
  endif()
  set(KV_TARGET_NAME ${target})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.cpp)
  configure_file(${tmpl} ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()

function(kv_module name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${A_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  # Modules are loaded and unloaded at run time: unloading must really unload.
  target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${KV_NO_GNU_UNIQUE}>)
  target_link_options(${name} PRIVATE -Wl,--no-undefined)
  target_link_libraries(${name} PRIVATE platform ${A_LIBS})
  kv_version_block(${name})
endfunction()

function(kv_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC platform ${A_LIBS})
endfunction()

function(kv_program name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE platform ${A_LIBS})
  kv_version_block(${name})
endfunction()

# Pango, fontconfig and cairo keep process-lifetime caches and synchronise in ways the sanitizers
# cannot see; every test that draws text would report them. The suppressions name only those
# libraries, so our own code stays fully checked.
set(KV_SANITIZER_ENV
  "LSAN_OPTIONS=suppressions=${KV_ROOT}/cmake/sanitizers/lsan.supp;TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${KV_ROOT}/cmake/sanitizers/tsan.supp")

# Each test runs in its own runtime, data and config folders so registry stores, lock files
# and sockets never leak between tests or into the developer's home. Screenshots and artifacts
# (files for people and other tools) go to KV_SCREENSHOT_DIR and KV_ARTIFACT_DIR. Tests do not
# reach the machine's real USB bus (KV_NO_LIBUSB) unless one asks for it.
function(kv_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "LABELS;SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE platform GTest::gtest GTest::gmock kv_test_main Threads::Threads ${A_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/tests)
  set_target_properties(${name} PROPERTIES BUILD_RPATH "$ORIGIN/..;$ORIGIN")
  add_test(NAME ${name} COMMAND ${name})
  set(envroot ${CMAKE_BINARY_DIR}/testenv/${name})
  file(MAKE_DIRECTORY ${envroot}/run ${envroot}/data ${envroot}/config ${envroot}/home)
  file(CHMOD ${envroot}/run DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    LABELS "${A_LABELS}"
    TIMEOUT ${A_TIMEOUT}
    WORKING_DIRECTORY ${envroot}
    ENVIRONMENT "${KV_SANITIZER_ENV};HOME=${envroot}/home;XDG_RUNTIME_DIR=${envroot}/run;XDG_DATA_HOME=${envroot}/data;XDG_CONFIG_HOME=${envroot}/config;KV_BIN_DIR=${CMAKE_BINARY_DIR}/bin;KV_SOURCE_DIR=${KV_ROOT};KV_NO_LIBUSB=1;KV_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots;KV_ARTIFACT_DIR=${CMAKE_BINARY_DIR}/artifacts;${A_ENV}")
endfunction()

function(kv_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT TARGET benchmark::benchmark)
    return()
  endif()
  add_executable(bench_${name} ${A_SOURCES})
  target_link_libraries(bench_${name} PRIVATE platform benchmark::benchmark Threads::Threads ${A_LIBS})
  # <kvtest/BenchFolders.h> and the other header-only helpers of the test support.
  target_include_directories(bench_${name} PRIVATE ${KV_ROOT}/tests/support/include)
endfunction()

# kv_resources(TARGET [BITMAPS id=file.png ...] [ICONS id:size=file.png ...]
#              [CURSORS id:hotX:hotY=file.png ...])
# Compiles the PNG files into the target and registers them as the program's resources (module 0)
# at static construction, for LoadBitmap, LoadIcon, LoadImage and LoadCursor. Paths are relative to
# the calling folder (or absolute, for pictures generated at build time).
function(kv_resources target)
  cmake_parse_arguments(A "" "" "BITMAPS;ICONS;CURSORS" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  set(code "// Generated by kv_resources: the pictures of ${target}.\n#include <platform/resources.h>\n\nnamespace {\n")
  set(calls "")
  set(n 0)
  foreach(kind BITMAPS ICONS CURSORS)
    foreach(entry ${A_${kind}})
      string(REGEX MATCH "^([^=]+)=(.+)$" _ "${entry}")
      set(key ${CMAKE_MATCH_1})
      get_filename_component(file "${CMAKE_MATCH_2}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
      file(READ ${file} hex HEX)
      string(LENGTH "${hex}" hexLength)
      math(EXPR size "${hexLength} / 2")
      string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
      string(APPEND code "const unsigned char kPicture${n}[] = {${bytes}};\n")
      string(REPLACE ":" ";" parts "${key}")
      list(GET parts 0 id)
      if(kind STREQUAL "BITMAPS")
        string(APPEND calls "    kvp::RegisterBitmapResource(0, ${id}, kPicture${n}, ${size});\n")
      elseif(kind STREQUAL "ICONS")
        list(GET parts 1 side)
        string(APPEND calls "    kvp::RegisterIconResource(0, ${id}, ${side}, kPicture${n}, ${size});\n")
      else()
        list(GET parts 1 hotX)
        list(GET parts 2 hotY)
        string(APPEND calls "    kvp::RegisterCursorResource(0, ${id}, kPicture${n}, ${size}, ${hotX}, ${hotY});\n")
      endif()
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
      math(EXPR n "${n} + 1")
    endforeach()
  endforeach()
  string(APPEND code "struct Registration {\n  Registration() {\n${calls}  }\n} registration;\n}  // namespace\n")
  file(GENERATE OUTPUT ${out} CONTENT "${code}")
  target_sources(${target} PRIVATE ${out})
endfunction()

# A fuzz target: SOURCE defines LLVMFuzzerTestOneInput and the seeds (tests/support/include/
# kvtest/FuzzReplay.h). In every build the test NAME_fuzz_replay runs the target over its seeds and
# their mutations; under clang with the address sanitizer the libFuzzer program fuzz_NAME is built
# as well, and the top level registers each fuzz_* program as a short fuzzing test. SOURCES are
# further sources of the code under test, INCLUDES its private include folders.
function(kv_fuzz name)
  cmake_parse_arguments(A "" "SOURCE" "SOURCES;LIBS;LABELS;INCLUDES" ${ARGN})
  kv_test(${name}_fuzz_replay LABELS ${A_LABELS}
    SOURCES ${A_SOURCE} ${A_SOURCES} ${KV_ROOT}/tests/support/FuzzReplay.cpp
    LIBS ${A_LIBS})
  target_include_directories(${name}_fuzz_replay PRIVATE ${KV_ROOT}/tests/support/include ${A_INCLUDES})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND KV_SANITIZE STREQUAL "address")
    add_executable(fuzz_${name} ${A_SOURCE} ${A_SOURCES})
    target_include_directories(fuzz_${name} PRIVATE ${KV_ROOT}/tests/support/include ${A_INCLUDES})
    target_link_libraries(fuzz_${name} PRIVATE platform ${A_LIBS})
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  endif()
endfunction()
