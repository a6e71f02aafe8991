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
    ${CMAKE_CURRENT_LIST_DIR}/tests/InputTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/WindowTreeTest.cpp
  LIBS PkgConfig::KV_CAIRO)

# Windows of other processes: the per-process window server, proxies, FindWindow across processes.
target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Desktop.cpp)
add_executable(platform_desktop_peer ${CMAKE_CURRENT_LIST_DIR}/tests/DesktopPeer.cpp)
target_link_libraries(platform_desktop_peer PRIVATE platform)
set_target_properties(platform_desktop_peer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/tests
                                                       BUILD_RPATH "$ORIGIN/..;$ORIGIN")
kv_test(platform_desktop_tests LABELS gui platform desktop
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/DesktopTest.cpp)
add_dependencies(platform_desktop_tests platform_desktop_peer)
