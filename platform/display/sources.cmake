# Display back ends: headless (image surfaces, injected input) and X11 (Xlib + cairo-xlib).
pkg_check_modules(KV_X11 REQUIRED IMPORTED_TARGET x11 xrender cairo-xlib cairo)
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11Display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DesktopX11.cpp
)
target_link_libraries(platform PRIVATE PkgConfig::KV_X11)

# The real X11 back end under a private Xvfb server.
pkg_check_modules(KV_XTST REQUIRED IMPORTED_TARGET x11 xtst cairo)
kv_test(platform_x11_smoke_tests LABELS gui platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/X11SmokeTest.cpp
  LIBS PkgConfig::KV_XTST
  ENV "ASAN_OPTIONS=fast_unwind_on_malloc=0")

# Foreign X11 clients found, raised and closed through FindWindow's proxies, on a private Xvfb.
kv_test(platform_x11_foreign_tests LABELS gui platform desktop
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/X11ForeignTest.cpp
  LIBS PkgConfig::KV_X11
  ENV "ASAN_OPTIONS=fast_unwind_on_malloc=0")
