# Build helpers shared by every folder.
#
#   kv_module(NAME SOURCES ... [LIBS ...])      shared library loaded by name at run time: bin/NAME.so
#   kv_library(NAME SOURCES ... [LIBS ...])     static library for in-process use (tests, fixtures)
#   kv_program(NAME SOURCES ... [LIBS ...])     executable in bin/
#   kv_test(NAME LABELS ... SOURCES ... [LIBS ...] [ENV ...])
#                                               GoogleTest program registered with CTest, isolated environment
#   kv_bench(NAME SOURCES ... [LIBS ...])       Google Benchmark program bin/bench_NAME

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
# (files for people and other tools) go to KV_SCREENSHOT_DIR and KV_ARTIFACT_DIR.
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
    ENVIRONMENT "${KV_SANITIZER_ENV};HOME=${envroot}/home;XDG_RUNTIME_DIR=${envroot}/run;XDG_DATA_HOME=${envroot}/data;XDG_CONFIG_HOME=${envroot}/config;KV_BIN_DIR=${CMAKE_BINARY_DIR}/bin;KV_SOURCE_DIR=${KV_ROOT};KV_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots;KV_ARTIFACT_DIR=${CMAKE_BINARY_DIR}/artifacts;${A_ENV}")
endfunction()

function(kv_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT TARGET benchmark::benchmark)
    return()
  endif()
  add_executable(bench_${name} ${A_SOURCES})
  target_link_libraries(bench_${name} PRIVATE platform benchmark::benchmark Threads::Threads ${A_LIBS})
endfunction()
