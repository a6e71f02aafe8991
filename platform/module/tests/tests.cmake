# Fixture modules: "Probe" in the test program's folder and another "Probe" in modsub/, beside
# "Loader", which loads by bare name from its own folder; "Joiner", which joins its own thread
# while it is unloaded; "Notice", whose DllMain logs the thread notices it is given.
set(_modfix_dir ${CMAKE_BINARY_DIR}/bin/tests)
foreach(place 1 2)
  kv_module(kvfix_probe_${place} SOURCES ${CMAKE_CURRENT_LIST_DIR}/fixture/Probe.cpp)
  target_compile_definitions(kvfix_probe_${place} PRIVATE PROBE_PLACE=${place})
endforeach()
kv_module(kvfix_loader SOURCES ${CMAKE_CURRENT_LIST_DIR}/fixture/Loader.cpp)
kv_module(kvfix_joiner SOURCES ${CMAKE_CURRENT_LIST_DIR}/fixture/Joiner.cpp)
kv_module(kvfix_notice SOURCES ${CMAKE_CURRENT_LIST_DIR}/fixture/Notice.cpp)
set_target_properties(kvfix_probe_1 PROPERTIES OUTPUT_NAME Probe LIBRARY_OUTPUT_DIRECTORY ${_modfix_dir})
set_target_properties(kvfix_probe_2 PROPERTIES OUTPUT_NAME Probe LIBRARY_OUTPUT_DIRECTORY ${_modfix_dir}/modsub)
set_target_properties(kvfix_loader PROPERTIES OUTPUT_NAME Loader LIBRARY_OUTPUT_DIRECTORY ${_modfix_dir}/modsub)
set_target_properties(kvfix_joiner PROPERTIES OUTPUT_NAME Joiner LIBRARY_OUTPUT_DIRECTORY ${_modfix_dir})
set_target_properties(kvfix_notice PROPERTIES OUTPUT_NAME Notice LIBRARY_OUTPUT_DIRECTORY ${_modfix_dir})
set_target_properties(kvfix_probe_1 kvfix_probe_2 kvfix_loader kvfix_joiner kvfix_notice PROPERTIES BUILD_RPATH "$ORIGIN/..;$ORIGIN/../..")

kv_test(platform_module_tests LABELS platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ModuleTest.cpp ${CMAKE_CURRENT_LIST_DIR}/VersionInfoTest.cpp)
add_dependencies(platform_module_tests kvfix_probe_1 kvfix_probe_2 kvfix_loader kvfix_joiner kvfix_notice)
foreach(part MAJOR MINOR PATCH TWEAK)
  set(_v_${part} ${PROJECT_VERSION_${part}})
  if(NOT _v_${part})
    set(_v_${part} 0)
  endif()
endforeach()
math(EXPR _version_ms "(${_v_MAJOR} << 16) | ${_v_MINOR}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR _version_ls "(${_v_PATCH} << 16) | ${_v_TWEAK}" OUTPUT_FORMAT HEXADECIMAL)
target_compile_definitions(platform_module_tests PRIVATE
  KV_TEST_DIR="${_modfix_dir}" KV_VERSION_MS=${_version_ms} KV_VERSION_LS=${_version_ls}
  KV_PROJECT_VERSION="${PROJECT_VERSION}")
