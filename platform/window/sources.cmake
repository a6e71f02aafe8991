# Windows, messages, timers, input, message boxes and the class library's window classes.
pkg_check_modules(KV_CAIRO REQUIRED IMPORTED_TARGET cairo)
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/WindowSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowClasses.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowTree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageQueue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Paint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DefWindowProc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AfxWnd.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AfxDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AfxApp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AfxControls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DialogTemplate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Resources.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Worker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls/ControlKit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls/Button.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls/Static.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls/Edit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls/ScrollBar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls/ListBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls/ComboBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls/Tracking.cpp
)
target_link_libraries(platform PRIVATE PkgConfig::KV_CAIRO)
target_include_directories(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)

kv_test(platform_window_tests LABELS gui platform
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/CaptureTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ModalTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/TimerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/MessagingTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/SendTimeoutTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/MessageBoxTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/QuitRequestTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/InputTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/WindowTreeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/WorkerTest.cpp
  LIBS PkgConfig::KV_CAIRO)

kv_test(platform_controls_tests LABELS gui platform controls
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/controls/tests/ControlFixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/controls/tests/ControlsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/controls/tests/DialogTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/controls/tests/DialogKeysTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/controls/tests/FileDialogTest.cpp
  LIBS PkgConfig::KV_CAIRO
  ENV "KV_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots")
kv_resources(platform_controls_tests
  BITMAPS 700=${CMAKE_CURRENT_LIST_DIR}/controls/tests/art/green.png
  CURSORS 701:8:8=${CMAKE_CURRENT_LIST_DIR}/controls/tests/art/sizewe.png)

# Windows of other processes: the per-process window server, proxies, FindWindow across processes.
target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Desktop.cpp ${CMAKE_CURRENT_LIST_DIR}/DesktopWire.cpp)
add_executable(platform_desktop_peer ${CMAKE_CURRENT_LIST_DIR}/tests/DesktopPeer.cpp)
target_link_libraries(platform_desktop_peer PRIVATE platform)
set_target_properties(platform_desktop_peer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/tests
                                                       BUILD_RPATH "$ORIGIN/..;$ORIGIN")
kv_test(platform_desktop_tests LABELS gui platform desktop
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/DesktopTest.cpp ${CMAKE_CURRENT_LIST_DIR}/tests/DesktopHostileTest.cpp)
add_dependencies(platform_desktop_tests platform_desktop_peer)

# Fuzz target of the window server's wire: requests, answers and window lists as another process
# sends them.
kv_fuzz(desktop_wire LABELS platform desktop SOURCE ${CMAKE_CURRENT_LIST_DIR}/tests/fuzz/desktop_wire.cpp
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DesktopWire.cpp INCLUDES ${KV_ROOT}/platform)
