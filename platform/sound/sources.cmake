# Sounds: PlaySound over registered WAVE resources, on ALSA when a device opens, else silent.
find_package(PkgConfig REQUIRED)
pkg_check_modules(KV_ALSA REQUIRED IMPORTED_TARGET alsa)
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Sound.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Wave.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AlsaOutput.cpp)
target_link_libraries(platform PRIVATE PkgConfig::KV_ALSA)
kv_test(platform_sound_tests LABELS platform SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/SoundTest.cpp)
