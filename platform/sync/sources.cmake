# Threads and synchronisation: the clock, waits, events, mutexes (named across processes),
# critical sections, threads, the debugger channel.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WaitEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Waits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Event.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Mutex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NamedMutex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CriticalSection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Time.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Debug.cpp
)

# The second process of the named-mutex tests.
add_executable(platform_mutex_probe ${CMAKE_CURRENT_LIST_DIR}/tests/MutexProbe.cpp)
target_link_libraries(platform_mutex_probe PRIVATE platform)
set_target_properties(platform_mutex_probe PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/tests BUILD_RPATH "$ORIGIN/..;$ORIGIN")

kv_test(platform_sync_tests LABELS platform
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/WaitTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ThreadTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ClockDebugTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/NamedMutexTest.cpp)
add_dependencies(platform_sync_tests platform_mutex_probe)

kv_bench(sync SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench/SyncBench.cpp)
