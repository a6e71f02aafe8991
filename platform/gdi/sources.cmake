# Drawing: device contexts over Cairo, fonts through Pango.
pkg_check_modules(KV_GDI_DEPS REQUIRED IMPORTED_TARGET pangocairo cairo)

target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AfxGdi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Blit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DeviceContext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GdiObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Primitives.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextRender.cpp)
target_link_libraries(platform PRIVATE PkgConfig::KV_GDI_DEPS)

# Pixel tests on image surfaces; the off-screen drawing context of the program is built in too.
kv_test(platform_gdi_tests LABELS gui
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/PixelRulesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/DcStateTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/BlitTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/TextTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/AfxGdiTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/MemDCTest.cpp
    ${KV_ROOT}/core/MemDC.cpp
  LIBS PkgConfig::KV_GDI_DEPS)
target_include_directories(platform_gdi_tests PRIVATE ${KV_ROOT}/core)

kv_bench(gdi SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench/GdiBench.cpp ${KV_ROOT}/core/MemDC.cpp LIBS PkgConfig::KV_GDI_DEPS)
if(TARGET bench_gdi)
  target_include_directories(bench_gdi PRIVATE ${KV_ROOT}/core)
endif()
