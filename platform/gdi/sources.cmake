# Drawing: device contexts over Cairo, fonts through Pango.
pkg_check_modules(KV_GDI_DEPS REQUIRED IMPORTED_TARGET pangocairo cairo)

target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AfxGdi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Blit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DeviceContext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GdiObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutlineFill.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Pixels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Primitives.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextRender.cpp)
target_link_libraries(platform PRIVATE PkgConfig::KV_GDI_DEPS)

# Pixel tests on image surfaces.
kv_test(platform_gdi_tests LABELS gui
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/PixelRulesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/DcStateTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/DcScopeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/BlitTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/TextTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/AfxGdiTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/DrawCacheTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/TraceLineTest.cpp
  LIBS kv_test_canvas PkgConfig::KV_GDI_DEPS)
